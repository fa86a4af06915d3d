#include "shell/gui/HelpTexts.h"

namespace numen {

namespace {

const char* const kEnglish = R"(NUMEN

Numen searches for primes of special forms and proves them.

FORMS (menu Form)
  k.b^n + 1     for a base b from 2 to 999999 (menu Form, Base ...).
                Proven by the N - 1 method (Proth's theorem for b = 2,
                Pocklington's otherwise).
  k.b^n - 1     proven by the N + 1 method (Lucas sequences).
  k^n + 1       generalized Fermat numbers, n a power of two; here the
                varying base is called k.
  Any           the cyclotomic value Phi_n(k), printed "n.k" (shown when
                ExtendedMenu=1 in Numen.ini).

MODES (menu Mode)
  Standard      every n from nMin to nMax, and for each n every k from kMin
                to kMax in steps of kStep.
  Algebraic     k = a + b.n + c.n^2 for every n of the range.
  Cullen        Cullen numbers n.2^n + 1 (form +1) or Woodall numbers
                n.2^n - 1 (form -1).
  File          the "k n" pairs of a text file (the output of a sieve), one
                per line; the Line field counts the lines already done.
  Verifier      proves again the primes of a listing (lines such as
                "12 5*2^10-1 ..."), each with the method of its form.
  Test          a self-test of the arithmetic and of 38 known numbers.
  Bench ...     three benchmarks that score this machine.

WHAT A CANDIDATE GOES THROUGH
  Division by small primes, a probable-prime test, a proof, a second
  verification with another base, the divisibility of Fermat numbers
  (for k.2^n + 1), and the related numbers: twin, Sophie Germain and
  Cunningham chain neighbours. Primes go to the pane, to Numen.log and to
  Numen.txt.

RUNNING
  Start begins the range anew; Continue goes on from the current n and k.
  Stop ends the test in progress at once; its checkpoint (Numen.dta) lets
  Continue take a large test up where it was. A run left active when the
  program ended (closed, crashed, rebooted) continues by itself at the next
  start.

OUTPUT (menu Output)
  Range Info    the Start, Continue and Stop lines.
  Verbose       composite and factor lines too (Screen: pane, File: log).
  Print Date    each Numen.log line starts with the date.
  View Log      shows Numen.log in the pane at start-up.

OPTIONS (menu Options)
  Preferences   a manual trial-division limit, Only factors, composite
                verification, Morehead's theorem, the balanced 16-bit
                representation, and the SSE2 and AVX kernels.
  Advanced      iterations between progress lines and checkpoints, and the
                worker's priority.
  Priority      the process's priority (nice 19, 0 or -5).
  Tray Icon, Hide, Start at Login.

Everything is kept in Numen.ini in the working folder. The console program
numen-console runs the same searches from a terminal or a script.
)";

const char* const kFrench = R"(NUMEN

Numen cherche des nombres premiers de formes particulières et les prouve.

FORMES (menu Form)
  k.b^n + 1     pour une base b de 2 à 999999 (menu Form, Base ...).
                Preuve par la méthode N - 1 (théorème de Proth pour b = 2,
                de Pocklington sinon).
  k.b^n - 1     preuve par la méthode N + 1 (suites de Lucas).
  k^n + 1       nombres de Fermat généralisés, n puissance de deux ; la
                base variable s'appelle ici k.
  Any           la valeur cyclotomique Phi_n(k), écrite « n.k »
                (visible avec ExtendedMenu=1 dans Numen.ini).

MODES (menu Mode)
  Standard      chaque n de nMin à nMax, et pour chaque n chaque k de kMin
                à kMax par pas de kStep.
  Algebraic     k = a + b.n + c.n^2 pour chaque n de l'intervalle.
  Cullen        nombres de Cullen n.2^n + 1 (forme +1) ou de Woodall
                n.2^n - 1 (forme -1).
  File          les couples « k n » d'un fichier texte (la sortie d'un
                crible), un par ligne ; le champ Line compte les lignes faites.
  Verifier      prouve à nouveau les nombres premiers d'une liste (lignes
                comme « 12 5*2^10-1 ... »), chacun par la méthode de sa forme.
  Test          un auto-test de l'arithmétique et de 38 nombres connus.
  Bench ...     trois mesures de vitesse de la machine.

LE PARCOURS D'UN CANDIDAT
  Division par les petits nombres premiers, test de probable primalité,
  preuve, seconde vérification avec une autre base, divisibilité des
  nombres de Fermat (pour k.2^n + 1), puis les nombres liés : jumeaux,
  Sophie Germain et chaînes de Cunningham. Les nombres premiers vont dans
  le panneau, dans Numen.log et dans Numen.txt.

EXÉCUTION
  Start recommence l'intervalle ; Continue reprend au n et au k courants.
  Stop arrête aussitôt le test en cours ; son point de reprise
  (Numen.dta) permet à Continue de reprendre un grand test là où il en
  était. Une recherche active à la fin du programme (fenêtre fermée,
  panne, redémarrage) reprend d'elle-même au démarrage suivant.

SORTIES (menu Output)
  Range Info    les lignes Start, Continue et Stop.
  Verbose       aussi les lignes de nombres composés et de facteurs
                (Screen : panneau, File : journal).
  Print Date    chaque ligne de Numen.log commence par la date.
  View Log      affiche Numen.log dans le panneau au démarrage.

OPTIONS (menu Options)
  Preferences   une limite manuelle de division, Only factors, la
                vérification des composés, le théorème de Morehead, la
                représentation équilibrée 16 bits, et les noyaux SSE2 et AVX.
  Advanced      itérations entre deux lignes de progression et points de
                reprise, et la priorité du calcul.
  Priority      la priorité du processus (nice 19, 0 ou -5).
  Tray Icon, Hide, Start at Login.

Tout est conservé dans Numen.ini, dans le dossier de travail. Le programme
numen-console lance les mêmes recherches depuis un terminal ou un script.
)";

const char* const kRecords = R"(Record primes of the forms Numen searches.
Each was the largest known of its kind when it was found; newer records may
exist.

Mersenne (the largest known prime)
  2^136279841 - 1                  41,024,320 digits   2024
Proth, k.2^n + 1 (largest non-Mersenne prime)
  10223*2^31172165 + 1              9,383,761 digits   2016
Woodall, n.2^n - 1
  17016602*2^17016602 - 1           5,122,515 digits   2018
Cullen, n.2^n + 1
  6679881*2^6679881 + 1             2,010,852 digits   2009
Twin primes
  2996863034895*2^1290000 +- 1        388,342 digits   2016
Sophie Germain pair (p and 2p + 1 prime)
  2618163402417*2^1290000 - 1         388,342 digits   2016
Generalized Fermat, b^(2^m) + 1
  1963736^1048576 + 1               6,598,776 digits   2022

The self-test (Mode, Test) proves smaller members of these families, among
them the Woodall prime 667071*2^667071 - 1 and the generalized Fermat prime
1361846^65536 + 1.
)";

}  // namespace

QString HelpText(int language) { return QString::fromUtf8(language == 1 ? kFrench : kEnglish); }

QString RecordsText() { return QString::fromUtf8(kRecords); }

}  // namespace numen

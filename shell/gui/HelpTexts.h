// The Help page in English (0) and French (1), and the Records page.
#pragma once

#include <QString>

namespace numen {

QString HelpText(int language);
QString RecordsText();

}  // namespace numen

// CheckpointGate: who decides when a run may write its checkpoint. Under a
// volunteer-computing client the user sets the least time between two
// writes to disk; the client's runtime answers "now" once that time has
// passed and must hear when the write is done. The real gate calls the
// BOINC API (BoincGate in main.cpp); tests give one of their own.
#pragma once

namespace numen {

class CheckpointGate {
public:
    virtual ~CheckpointGate() = default;
    // True when a checkpoint may be written now. After a true answer the
    // caller writes and then calls checkpointCompleted.
    virtual bool timeToCheckpoint() = 0;
    // A checkpoint was written (also one written at a stop, unasked).
    virtual void checkpointCompleted() = 0;
};

}  // namespace numen

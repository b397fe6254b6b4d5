// Watches the calculations service (string 108) and logs each change of its state; it never starts or
// stops it.
#pragma once

namespace tasks {

class CheckLocalSvc {
public:
    // One pass: the state when it differs from the last one seen; a failure when its error number
    // differs from the last one logged.
    void execute();

private:
    void reportFailure(const char* what, int error);

    unsigned m_lastState = 0;
    unsigned m_lastError = 0;
};

}  // namespace tasks

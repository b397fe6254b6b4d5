// The interface of the control service's housekeeping tasks: each is started once and runs on its own
// thread until it is destroyed.
#pragma once

namespace tasks {

class BaseTask {
public:
    virtual ~BaseTask() = default;
    virtual void start() = 0;
};

}  // namespace tasks

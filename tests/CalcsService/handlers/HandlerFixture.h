// The handlers bound to the scriptable fake library, logging into a file the test reads back, and
// with the configuration in a folder of their own.
#pragma once

#include <string>
#include <vector>

#include "CalcsService/calcdll_api/BridgeTestSupport.h"
#include "service/ModuleInfo.h"
#include "support/LogMessages.h"

namespace handlertest {

class HandlersWithFake : public bridgetest::BridgeWithFake {
protected:
    static void SetUpTestSuite() {
        static testsupport::TempDir moduleDir;
        g_strModuleDir = moduleDir.str();  // before the configuration is first used
        testsupport::LogMessages::instance();
        bridgetest::boundFake();
    }
    void SetUp() override {
        BridgeWithFake::SetUp();
        testsupport::LogMessages::instance().take();
    }
    // "severity: message" of each line logged since the previous call.
    static std::vector<std::string> logged() { return testsupport::LogMessages::instance().take(); }
};

}  // namespace handlertest

#include "LibraryLifetime.h"

#include <atomic>

#include "Logging/Log.h"
#include "calendar/CalendarTable.h"
#include "calendar/ExpirationTimeCalculator.h"
#include "calendar/ExpiryTypeTable.h"
#include "calendar/TapeClock.h"
#include "rates/RateStore.h"
#include "records/HostCallbacks.h"
#include "records/RecordBarrier.h"
#include "records/RecordProcessor.h"
#include "records/RecordRegistry.h"

namespace {

// Trivially destructible, so it can still be read after every other static is gone.
std::atomic<bool> g_staticsGone{false};

// Statics are destroyed in the reverse order of their construction. The sentinel builds every
// singleton an export can reach, and the logging state records need, before it is itself complete,
// so it is destroyed before any of them.
struct StaticsSentinel {
    StaticsSentinel() {
        LOG_SEV(trace) << "library statics built";  // builds the logger's thread-local severity slot
        CCalendarTable::Instance();
        CExpirationTimeCalculator::Instance();
        CExpiryTypeTable::Instance();
        CTapeClock::Instance();
        CRateStore::Instance();
        CHostCallbacks::Instance();
        CRecordBarrier::Instance();
        CRecordProcessor::Instance();
        CRecordRegistry::Instance();
    }
    ~StaticsSentinel() {
        g_staticsGone.store(true, std::memory_order_release);
        // A host may exit without stopping the library. Its processing threads must end now, while
        // everything they use (the records, the logging core) still stands.
        CRecordProcessor::Instance().Threads().Terminate();
    }
};

}  // namespace

bool LibraryStaticsAlive() {
    static const StaticsSentinel sentinel;
    return !g_staticsGone.load(std::memory_order_acquire);
}

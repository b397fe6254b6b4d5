#include "calcdll_api/LibraryText.h"

#include "Logging/ClientText.h"
#include "Logging/Log.h"

namespace Bridge {

bool fitsLibraryText(const std::string& text, std::size_t limit, const char* what) {
    if (text.size() <= limit)
        return true;
    LOG_SEV(warning) << what << " longer than " << limit << " characters refused: " << Logging::EscapeClientText(text);
    return false;
}

}  // namespace Bridge

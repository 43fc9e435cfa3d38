// run_observer.cpp -- the texts of the engine's messages, and the step between steps.
#include "engine/run_observer.h"

#include "engine/errors.h"

namespace quorvane {

std::string_view message_text(Message message) {
    switch (message) {
        case Message::SizeLimit:
            return kSizeLimitMessage;
        case Message::DecimalTooHigh:
            return kDecimalTooHigh;
        case Message::RestoreFailed:
            return kRestoreFailedMessage;
    }
    return {};
}

void checkpoint(RunObserver& observer) {
    if (!observer.proceed()) throw ERunCancelled();
}

}  // namespace quorvane

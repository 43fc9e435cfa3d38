// errors.h -- the engine's exception hierarchy; every message is the system's own text.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvane {

// Base of every error the engine raises; what() is the text the user sees.
class EngineError : public std::runtime_error {
  public:
    explicit EngineError(const std::string& message) : std::runtime_error(message) {}
};

// A checked 32-bit operation left the signed 32-bit range.
class EIntOverflow : public EngineError {
  public:
    EIntOverflow() : EngineError("Integer overflow") {}
};

// A setting text (or a decoded character) is not a whole decimal number.
class EConvertError : public EngineError {
  public:
    explicit EConvertError(std::string_view text) : EngineError(message(text)) {}

  protected:
    EConvertError(std::string_view setting, std::string_view text)
        : EngineError(std::string(setting) + ": " + message(text)) {}

  private:
    static std::string message(std::string_view text) {
        std::string m;
        m.reserve(text.size() + 32);
        m.append("'").append(text).append("' is not a valid integer value");
        return m;
    }
};

// A setting's text is not a whole decimal number: the message names the setting first
// ("Loops: 'abc' is not a valid integer value"), so that the user knows which one to mend.
class ESettingError : public EConvertError {
  public:
    ESettingError(std::string_view setting, std::string_view text) : EConvertError(setting, text) {}
};

// A bit weight of 2^31 or more was formed (a decoded string longer than 31 bits).
class EInvalidOp : public EngineError {
  public:
    EInvalidOp() : EngineError("Invalid floating point operation") {}
};

// File-system failures: opening, creating, reading or writing a file.
class EInOutError : public EngineError {
  public:
    explicit EInOutError(const std::string& message) : EngineError(message) {}
};

// A rod stream or rod file that cannot be what this program wrote.
class ECorruptData : public EngineError {
  public:
    explicit ECorruptData(const std::string& message) : EngineError(message) {}
};

// The front end asked the running operation to stop (Exit, Ctrl-C); nothing is reported.
class ERunCancelled : public EngineError {
  public:
    ERunCancelled() : EngineError("Operation cancelled") {}
};

}  // namespace quorvane

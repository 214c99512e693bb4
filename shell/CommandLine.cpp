#include "shell/CommandLine.h"

namespace {

std::size_t CharacterBytesAt(const std::string& text, std::size_t position,
                             const TextRules& rules) {
    std::size_t length = rules.CharacterLength(text.c_str() + position);
    // Never stall on a zero length, never run past the end on a truncated multibyte character.
    if (length == 0) length = 1;
    if (length > text.size() - position) length = text.size() - position;
    return length;
}

bool IsSpaceAt(const std::string& text, std::size_t position, std::size_t length,
               const TextRules& rules) {
    return rules.IsSpace(text.c_str() + position, length);
}

void TrimTrailingSpace(std::string& text, const TextRules& rules) {
    // Walk forward (a trailing byte of a multibyte character may look like a space), remembering
    // where the last run of spaces began.
    std::size_t runStart = std::string::npos;
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t length = CharacterBytesAt(text, position, rules);
        if (IsSpaceAt(text, position, length, rules)) {
            if (runStart == std::string::npos) runStart = position;
        } else {
            runStart = std::string::npos;
        }
        position += length;
    }
    if (runStart != std::string::npos) text.erase(runStart);
}

// Removes the first character (all its bytes) of a non-empty string.
void RemoveFirstCharacter(std::string& text, const TextRules& rules) {
    text.erase(0, CharacterBytesAt(text, 0, rules));
}

struct HandleArgument {
    bool Present = false;
    WindowValue Value = 0;
};

HandleArgument ReadHandleArgument(std::string argument, const TextRules& rules) {
    if (argument.empty()) return {};
    if (argument[0] == ':') {
        argument.erase(0, 1);
        TrimLeadingSpace(argument, rules);
    }
    return {true, ReadWindowValue(argument, rules)};
}

} // namespace

std::size_t AsciiTextRules::CharacterLength(const char* character) const {
    return *character == '\0' ? 0 : 1;
}

bool AsciiTextRules::IsSpace(const char* character, std::size_t length) const {
    if (length != 1) return false;
    switch (*character) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
        return true;
    default:
        return false;
    }
}

void AsciiTextRules::Lower(std::string& text) const {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

void TrimLeadingSpace(std::string& text, const TextRules& rules) {
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t length = CharacterBytesAt(text, position, rules);
        if (!IsSpaceAt(text, position, length, rules)) break;
        position += length;
    }
    text.erase(0, position);
}

std::string NormaliseArguments(const char* arguments, const TextRules& rules) {
    // A private copy: the caller's buffer is never changed.
    std::string text = arguments != nullptr ? arguments : "";
    TrimLeadingSpace(text, rules);
    TrimTrailingSpace(text, rules);
    rules.Lower(text);
    return text;
}

WindowValue ReadWindowValue(const std::string& text, const TextRules& rules) {
    std::string rest = text;
    TrimLeadingSpace(rest, rules);
    std::size_t position = 0;
    bool negative = false;
    if (position < rest.size() && (rest[position] == '+' || rest[position] == '-')) {
        negative = rest[position] == '-';
        ++position;
    }
    // Unsigned arithmetic wraps modulo 2^32: exactly the low 32 bits of the number written.
    WindowValue value = 0;
    while (position < rest.size() && rest[position] >= '0' && rest[position] <= '9') {
        value = value * 10u + static_cast<WindowValue>(rest[position] - '0');
        ++position;
    }
    return negative ? 0u - value : value;
}

int ParseCommandLine(const char* arguments, const TextRules& rules, RunModes& modes) {
    std::string text = NormaliseArguments(arguments, rules);
    if (text.empty()) return modes.RunConfiguration(0);
    if (text[0] != '/' && text[0] != '-') return kNothingRun;

    text.erase(0, 1);
    if (text.empty()) return kNothingRun;
    // Only the one character after the switch sign selects the mode.
    const bool singleByteSelector = CharacterBytesAt(text, 0, rules) == 1;
    const char selector = singleByteSelector ? text[0] : '\0';
    RemoveFirstCharacter(text, rules);
    TrimLeadingSpace(text, rules);
    const std::string& argument = text;

    switch (selector) {
    case 'c': {
        if (argument.empty()) return modes.RunConfiguration(modes.ForegroundWindow());
        const HandleArgument owner = ReadHandleArgument(argument, rules);
        // The sheet ran: report its result, not a failure.
        return modes.IsWindow(owner.Value) ? modes.RunConfiguration(owner.Value) : kNothingRun;
    }
    case 's':
        return argument.empty() ? modes.RunFullScreen() : kNothingRun;
    case 'p':
    case 'l': {
        const HandleArgument parent = ReadHandleArgument(argument, rules);
        if (!parent.Present || !modes.IsWindow(parent.Value)) return kNothingRun;
        return modes.RunPreview(parent.Value);
    }
    case 'a': {
        const HandleArgument parent = ReadHandleArgument(argument, rules);
        if (!parent.Present || !modes.IsWindow(parent.Value)) return kNothingRun;
        return modes.ChangePassword(parent.Value);
    }
    default:
        return kNothingRun;
    }
}

// Settings as the tests write them and their failures print them: values by name, written as one
// line of text, "EnlargeToFit 1, Horizontal lines 0, PictureMillis 9000".
#pragma once

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

using NamedValues = std::map<std::string, long long>;

// The values of a line of text: names and numbers, a comma after each number.
inline NamedValues ParseValues(const std::string& text) {
    NamedValues values;
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        const std::size_t number = item.find_last_of(' ');
        const std::size_t name = item.find_first_not_of(' ');
        values[item.substr(name, number - name)] = std::strtoll(item.c_str() + number, nullptr, 0);
    }
    return values;
}

// `values` with the changes of a line of text, each of a value that is there.
inline NamedValues With(NamedValues values, const std::string& changes) {
    for (const auto& [name, number] : ParseValues(changes))
        values.at(name) = number;
    return values;
}

#pragma once

#include <picojson.h>

#include <istream>
#include <string>

// Reads one JSON value from the stream, as the JSON library's own stream
// operator does: the library's last-error text is cleared, set to the syntax
// error if there is one (the stream then fails), and `value` keeps what was
// built before the error.
//
// Three faults of the library are mended here:
// - a number beyond the range of a double is held as infinity instead of
//   throwing std::overflow_error out of the parser;
// - nested objects count towards the nesting limit like nested arrays do, so
//   deep nesting is a syntax error instead of a stack overflow;
// - a read error (config.json is a directory, an I/O error) is reported in
//   `readError` instead of escaping from the parser as an exception.
// Returns false only on a read error.
bool readJsonValue(std::istream& stream, picojson::value& value, std::string& readError);

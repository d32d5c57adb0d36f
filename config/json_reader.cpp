#include "config/json_reader.h"

#include <ios>
#include <iterator>

namespace {

// The library's default parse context, except for how numbers are stored and
// how deep nesting is counted (see json_reader.h).
class BoundedParseContext {
public:
    BoundedParseContext(picojson::value* out, std::size_t depthLeft) : out_(out), depthLeft_(depthLeft) {}
    BoundedParseContext(const BoundedParseContext&) = delete;
    BoundedParseContext& operator=(const BoundedParseContext&) = delete;

    bool set_null() {
        *out_ = picojson::value();
        return true;
    }
    bool set_bool(bool b) {
        *out_ = picojson::value(b);
        return true;
    }
    bool set_number(double number) {
        // set<double> stores any double; the value(double) constructor that
        // the default context uses throws for infinity.
        out_->set<double>(number);
        return true;
    }
    template <typename Iter>
    bool parse_string(picojson::input<Iter>& in) {
        *out_ = picojson::value(picojson::string_type, false);
        return picojson::_parse_string(out_->get<std::string>(), in);
    }
    bool parse_array_start() {
        return enterNesting(picojson::array_type);
    }
    template <typename Iter>
    bool parse_array_item(picojson::input<Iter>& in, std::size_t) {
        picojson::array& elements = out_->get<picojson::array>();
        elements.push_back(picojson::value());
        BoundedParseContext element(&elements.back(), depthLeft_);
        return picojson::_parse(element, in);
    }
    bool parse_array_stop(std::size_t) {
        ++depthLeft_;
        return true;
    }
    bool parse_object_start() {
        return enterNesting(picojson::object_type);
    }
    template <typename Iter>
    bool parse_object_item(picojson::input<Iter>& in, const std::string& key) {
        BoundedParseContext member(&out_->get<picojson::object>()[key], depthLeft_);
        return picojson::_parse(member, in);
    }
    bool parse_object_stop() {
        ++depthLeft_;
        return true;
    }

private:
    bool enterNesting(int type) {
        if (depthLeft_ == 0) {
            return false;
        }
        --depthLeft_;
        *out_ = picojson::value(type, false);
        return true;
    }

    picojson::value* out_;
    std::size_t depthLeft_;
};

}  // namespace

bool readJsonValue(std::istream& stream, picojson::value& value, std::string& readError) {
    picojson::set_last_error(std::string());
    BoundedParseContext context(&value, picojson::DEFAULT_MAX_DEPTHS);
    std::string parseError;
    try {
        picojson::_parse(context, std::istreambuf_iterator<char>(stream.rdbuf()),
                         std::istreambuf_iterator<char>(), &parseError);
    } catch (const std::ios_base::failure& failure) {
        // The C++ runtime reports a failing read() by throwing from the stream
        // buffer, straight through the parser.
        readError = failure.what();
        stream.setstate(std::ios::badbit);
        return false;
    }
    if (!parseError.empty()) {
        picojson::set_last_error(parseError);
        stream.setstate(std::ios::failbit);
    }
    return true;
}

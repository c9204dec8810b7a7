#include "text_encoding.h"

#include <iconv.h>

namespace testsupport {

std::optional<std::string> convertText(const std::string& text, const char* from, const char* to) {
    const iconv_t converter = ::iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in = text;
    std::string out(text.size() * 4 + 8, '\0');
    char* inNext = in.data();
    char* outNext = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const std::size_t result = ::iconv(converter, &inNext, &inLeft, &outNext, &outLeft);
    ::iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace testsupport

#include "base/designators.h"

#include <string>
#include <vector>

namespace veltris {

namespace {

// Letters and the number that ends a designator: «VT12» gives «VT» and 12, «DD1.3» «DD1.» and 3.
struct Designator {
    std::string prefix;
    long number = -1;
};

bool digit(char c)
{
    return c >= '0' && c <= '9';
}

Designator splitDesignator(std::string_view item)
{
    Designator d;
    std::size_t end = item.size();
    while (end > 0 && digit(item[end - 1]))
        --end;
    if (end == item.size() || item.size() - end > 6)
        return d;
    d.prefix = std::string(item.substr(0, end));
    d.number = std::stol(std::string(item.substr(end)));
    return d;
}

// The range marks, each replaced by one '\x01' before the items are split.
const std::vector<std::string_view>& rangeMarks()
{
    static const std::vector<std::string_view> marks = {"...",          "\xE2\x80\xA6", "\xE2\x80\x94",
                                                        "\xE2\x80\x93", "\xE2\x88\x92", "-"};
    return marks;
}

}  // namespace

DesignatorCount countDesignators(std::string_view text)
{
    // One mark for every way of writing a range, with the blanks around it left out.
    std::string s;
    s.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool mark = false;
        for (std::string_view m : rangeMarks()) {
            if (text.substr(i, m.size()) == m) {
                while (!s.empty() && s.back() == ' ')
                    s.pop_back();
                s += '\x01';
                i += m.size();
                while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
                    ++i;
                mark = true;
                break;
            }
        }
        if (mark)
            continue;
        const char c = text[i++];
        s += (c == ',' || c == ';' || c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    }

    DesignatorCount out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i >= s.size())
            break;
        std::size_t end = s.find(' ', i);
        if (end == std::string::npos)
            end = s.size();
        const std::string_view item = std::string_view(s).substr(i, end - i);
        i = end;
        const auto mark = item.find('\x01');
        if (mark == std::string_view::npos) {
            const Designator d = splitDesignator(item);
            out.understood = out.understood && d.number >= 0;
            out.count += 1;
            continue;
        }
        const Designator first = splitDesignator(item.substr(0, mark));
        Designator last = splitDesignator(item.substr(mark + 1));
        if (last.number >= 0 && last.prefix.empty())
            last.prefix = first.prefix;  // «C5-7»
        const bool range = first.number >= 0 && last.number >= first.number && first.prefix == last.prefix &&
                           item.find('\x01', mark + 1) == std::string_view::npos &&
                           last.number - first.number < 10000;
        if (range) {
            out.count += static_cast<int>(last.number - first.number + 1);
        } else {
            out.understood = false;
            out.count += 1;
        }
    }
    return out;
}

}  // namespace veltris

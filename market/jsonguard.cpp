#include "jsonguard.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <vector>

namespace jsonguard {

namespace {

struct Member
{
    QByteArray key;
    bool nested = false;
};

struct Level
{
    bool object = false;
    bool expectKey = false;
    bool expectValue = false; // in an object, between the colon and the value
    QByteArray key;
    std::vector<Member> members;
};

// The key as Qt compares it: escapes decoded, as UTF-8. Unknown escapes stand for
// the escaped character, as in Qt's parser.
QByteArray decodedKey(const char *begin, const char *end)
{
    if (!std::memchr(begin, '\\', size_t(end - begin)))
        return QByteArray(begin, int(end - begin));
    QString key;
    const char *run = begin;
    for (const char *p = begin; p < end; ++p) {
        if (*p != '\\')
            continue;
        key += QString::fromUtf8(run, int(p - run));
        if (++p == end)
            return key.toUtf8();
        static const char from[] = "bfnrt";
        static const char to[] = "\b\f\n\r\t";
        bool ok = false;
        if (const char *simple = std::strchr(from, *p); simple && *p) {
            key += QLatin1Char(to[simple - from]);
        } else if (*p == 'u' && end - p > 4) {
            const ushort unit = QByteArray(p + 1, 4).toUShort(&ok, 16);
            key += ok ? QChar(unit) : QLatin1Char('u');
            p += ok ? 4 : 0;
        } else {
            key += QLatin1Char(*p);
        }
        run = p + 1;
    }
    key += QString::fromUtf8(run, int(end - run));
    return key.toUtf8();
}

bool dropsNested(std::vector<Member> &members)
{
    // Which occurrence Qt keeps depends on the object's size (from 17 members on, not
    // always the last), so a repeated key is refused when any occurrence is a container.
    std::stable_sort(members.begin(), members.end(),
                     [](const Member &a, const Member &b) { return a.key < b.key; });
    for (size_t i = 0; i < members.size();) {
        size_t next = i + 1;
        bool nested = members[i].nested;
        for (; next < members.size() && members[next].key == members[i].key; ++next)
            nested = nested || members[next].nested;
        if (nested && next - i > 1)
            return true;
        i = next;
    }
    return false;
}

} // namespace

bool dropsNestedValue(const QByteArray &json)
{
    // A container can only be dropped from inside another one: texts with a single
    // brace or bracket, every price tick among them, need no walk.
    const char *begin = json.constData();
    const char *end = begin + json.size();
    const auto opener = [](char c) { return c == '{' || c == '['; };
    const char *first = std::find_if(begin, end, opener);
    if (first == end || std::find_if(first + 1, end, opener) == end)
        return false;

    std::vector<Level> levels;
    for (const char *p = first; p < end; ++p) {
        const char c = *p;
        Level *level = levels.empty() ? nullptr : &levels.back();
        if (c == '"') {
            const char *start = ++p;
            while (p < end && *p != '"') {
                if (*p == '\\' && ++p == end)
                    break;
                ++p;
            }
            if (p == end)
                return false;
            if (level && level->object && level->expectKey) {
                level->key = decodedKey(start, p);
                level->expectKey = false;
            } else if (level && level->expectValue) {
                level->members.push_back({level->key, false});
                level->expectValue = false;
            }
        } else if (c == '{' || c == '[') {
            if (level && level->expectValue) {
                level->members.push_back({level->key, true});
                level->expectValue = false;
            }
            Level inner;
            inner.object = c == '{';
            inner.expectKey = inner.object;
            levels.push_back(std::move(inner));
        } else if (c == '}' || c == ']') {
            if (!level)
                return false;
            if (level->object && dropsNested(level->members))
                return true;
            levels.pop_back();
        } else if (level && level->object) {
            if (c == ':') {
                level->expectValue = true;
            } else if (c == ',') {
                level->expectKey = true;
                level->expectValue = false;
            } else if (level->expectValue && c != ' ' && c != '\t' && c != '\n' && c != '\r') {
                level->members.push_back({level->key, false});
                level->expectValue = false;
            }
        }
    }
    return false;
}

} // namespace jsonguard

// The classic Like patterns and the index ranges beside them: a pattern on
// the first line, the text to match on the rest.

#include "FuzzSupport.h"
#include "platform/db/LikePattern.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [pattern, text] = ov::fuzz::TwoParts(ov::fuzz::Text(data, size));
    ov::db::LikePattern(pattern).Matches(text);
    ov::db::LikePattern(pattern, u'\\').Matches(text);
    ov::db::LikePattern::ForCriteria(pattern).Matches(text);
    // A text always matches itself followed by "%" once its pattern
    // characters are bracketed, as the folder views write it.
    QString literal;
    for (const QChar c : text) {
        if (c == u'%' || c == u'_' || c == u'[' || c == u'*' || c == u'?' || c == u'#') literal += u'[' + QString(c) + u']';
        else literal += c;
    }
    OV_FUZZ_CHECK(ov::db::LikePattern(literal + u'%').Matches(text));
    const ov::db::PrefixRanges ranges = ov::db::LikePrefixRanges(QStringLiteral("Name"), text);
    OV_FUZZ_CHECK(ranges.conditions.size() <= 8);
    OV_FUZZ_CHECK(!ranges.exact || !ranges.conditions.isEmpty());
    return 0;
}

#include "xls/SharedStrings.h"

#include "xls/Biff8Records.h"
#include "xls/Utf16.h"

#include <algorithm>

namespace fenban {

namespace {

constexpr std::size_t MaxRecordData = 8224;
constexpr unsigned Utf16Flag = 0x01; // fHighByte: two bytes per character
constexpr std::size_t StringHeader = 3; // character count and flags

// The SST record and its CONTINUE records, written one after the other; each
// record's length is filled in when the next one starts.
class ContinuedRecord {
public:
    ContinuedRecord(Bytes& stream, unsigned type)
        : stream_(stream)
    {
        start(type);
    }

    std::size_t room() const { return MaxRecordData - (stream_.size() - start_ - 4); }
    std::size_t recordStart() const { return start_; }
    void continueRecord()
    {
        finish();
        start(Record::Continue);
    }
    void finish() { PatchU16(stream_, start_ + 2, static_cast<unsigned>(stream_.size() - start_ - 4)); }

private:
    void start(unsigned type)
    {
        start_ = stream_.size();
        PutU16(stream_, type);
        PutU16(stream_, 0);
    }

    Bytes& stream_;
    std::size_t start_ = 0;
};

// Bytes of the first character: a string's header is never left alone at the
// end of a record.
std::size_t FirstCharacterSize(const std::u16string& text)
{
    if (text.empty())
        return 0;
    return IsHighSurrogate(text[0]) && text.size() > 1 ? 4 : 2;
}

struct Bucket {
    std::uint32_t streamPos;
    unsigned offsetInRecord;
};

} // namespace

void AppendSharedStrings(Bytes& stream, const std::vector<const std::u16string*>& texts, std::uint32_t referenceCount)
{
    const std::size_t perBucket = std::max<std::size_t>(texts.size() / 128 + 1, 8);
    std::vector<Bucket> buckets;

    ContinuedRecord record(stream, Record::Sst);
    PutU32(stream, referenceCount);
    PutU32(stream, static_cast<std::uint32_t>(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::u16string& text = *texts[i];
        if (record.room() < StringHeader + FirstCharacterSize(text))
            record.continueRecord();
        if (i % perBucket == 0) {
            buckets.push_back({static_cast<std::uint32_t>(stream.size()),
                static_cast<unsigned>(stream.size() - record.recordStart())});
        }
        PutU16(stream, static_cast<unsigned>(text.size()));
        PutU8(stream, Utf16Flag);
        // Characters run on into CONTINUE records, each starting with the flags
        // byte again; a record never ends inside a character or a surrogate pair.
        std::size_t done = 0;
        while (true) {
            std::size_t end = std::min(text.size(), done + record.room() / 2);
            if (end < text.size() && end > done && IsHighSurrogate(text[end - 1]))
                --end;
            PutUtf16(stream, std::u16string_view(text).substr(done, end - done));
            done = end;
            if (done == text.size())
                break;
            record.continueRecord();
            PutU8(stream, Utf16Flag);
        }
    }
    record.finish();

    const std::size_t extStart = stream.size();
    PutU16(stream, Record::ExtSst);
    PutU16(stream, 0);
    PutU16(stream, static_cast<unsigned>(perBucket));
    for (const Bucket& bucket : buckets) {
        PutU32(stream, bucket.streamPos);
        PutU16(stream, bucket.offsetInRecord);
        PutU16(stream, 0);
    }
    PatchU16(stream, extStart + 2, static_cast<unsigned>(stream.size() - extStart - 4));
}

} // namespace fenban

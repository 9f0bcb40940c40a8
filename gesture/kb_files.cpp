#include "gesture/kb_files.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>

#include "core/all_or_none.h"
#include "core/banners.h"

namespace kalvento {

// The files hold the in-memory bytes of the records: this is right only on a little-endian
// machine with IEEE-754 doubles.
static_assert(std::endian::native == std::endian::little);
static_assert(std::numeric_limits<double>::is_iec559);

namespace {

constexpr size_t kLabelBytes = sizeof(GestureLabel) * kGestures;
constexpr size_t kFile2Bytes =
    kLabelBytes + sizeof(ProtocolEntry) * kGestures * kGestures * kViewPoints * kProtocolSlots +
    sizeof(int32_t) * kViewPoints + sizeof(int32_t) * kViewPoints * kGestures;
static_assert(kFile2Bytes == 9831776);
constexpr size_t kFile3Bytes = 4 * sizeof(double) * kGestures +
                               sizeof(double) * kGestures * kViewPoints +
                               sizeof(double) * kGestures * 3 + sizeof(int32_t) * kGestures * 3 +
                               sizeof(int32_t) * kGestures + sizeof(int32_t) * kViewPoints;
static_assert(kFile3Bytes == 2752);
constexpr size_t kFile4Bytes = sizeof(KbRecord) * kMaxKbRecords;
// File 1 is a few hundred bytes; what lies beyond this bound counts as the end of the file.
constexpr size_t kFile1Bytes = 64 * 1024;
constexpr double kAbnormalValue = 1e9;

// Appends the bytes of `count` values.
class ByteWriter {
public:
    explicit ByteWriter(size_t reserve) { data_.reserve(reserve); }
    template <typename T>
    void put(const T* values, size_t count) {
        static_assert(std::is_trivially_copyable_v<T>);
        data_.append(reinterpret_cast<const char*>(values), sizeof(T) * count);
    }
    std::string& data() { return data_; }

private:
    std::string data_;
};

// Takes values from the bytes of a file in order. A file that ends early fills a block only as
// far as it goes, in whole values; the rest of the block keeps what it held.
class ByteReader {
public:
    explicit ByteReader(const std::string& data) : data_(data) {}
    template <typename T>
    void take(T* values, size_t count) {
        static_assert(std::is_trivially_copyable_v<T>);
        size_t whole = std::min(count, (data_.size() - pos_) / sizeof(T));
        std::memcpy(values, data_.data() + pos_, whole * sizeof(T));
        pos_ += std::min(count * sizeof(T), data_.size() - pos_);
    }

private:
    const std::string& data_;
    size_t pos_ = 0;
};

// Reads the numbers of file 1 the way formatted input does: white space separates them, and
// the first text that is no number ends the reading (that field and all after it keep their
// values). A number outside its field's range (an int that does not fit, a double that is not
// finite, a value its field cannot hold) is passed over: its field keeps its value and the
// reading goes on.
class ParameterScanner {
public:
    explicit ParameterScanner(const std::string& text) : text_(text) {}

    void scanInt(int& field, long low = INT32_MIN, long high = INT32_MAX) {
        if (stopped_ || !skipBlanks()) return;
        size_t p = pos_;
        if (text_[p] == '+' || text_[p] == '-') ++p;
        size_t digits = p;
        while (digits < text_.size() && text_[digits] >= '0' && text_[digits] <= '9') ++digits;
        if (digits == p) {
            stopped_ = true;
            return;
        }
        long value = 0;
        const char* first = text_.data() + (text_[pos_] == '+' ? pos_ + 1 : pos_);
        auto [end, error] = std::from_chars(first, text_.data() + digits, value);
        pos_ = digits;
        if (error == std::errc() && end == text_.data() + digits && value >= low && value <= high)
            field = static_cast<int>(value);
    }

    void scanDouble(double& field, double low = -HUGE_VAL, double high = HUGE_VAL) {
        if (stopped_ || !skipBlanks()) return;
        size_t p = pos_;
        bool negative = false;
        if (text_[p] == '+' || text_[p] == '-') negative = text_[p++] == '-';
        double value = 0.0;
        auto [end, error] = std::from_chars(text_.data() + p, text_.data() + text_.size(), value,
                                            std::chars_format::general);
        if (p == text_.size() || text_[p] == '+' || text_[p] == '-' ||
            error == std::errc::invalid_argument) {
            stopped_ = true;
            return;
        }
        pos_ = static_cast<size_t>(end - text_.data());
        if (negative) value = -value;
        if (error == std::errc() && std::isfinite(value) && value >= low && value <= high)
            field = value;
    }

private:
    bool skipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        if (pos_ == text_.size()) stopped_ = true;
        return !stopped_;
    }

    const std::string& text_;
    size_t pos_ = 0;
    bool stopped_ = false;
};

std::string parameterText(const KbParameters& p, const GestureState& g) {
    return strf("%d %d %lf %d %d %d %lf %d %d %lf %lf %lf %d %lf %d ", g.DThreshold, p.OK_HIGH,
                p.OCThreshold, g.MThreshold, p.pos_num, g.GRATE, p.GRATE_SUM, p.GRATE_COUNT,
                p.NEROI, p.SKIP, p.GRATE_SUM2, p.RSKIP, p.GRATE_COUNT2, p.RF_COEFFICIENT,
                p.IdealGRATE) +
           strf("%d %lf %d %lf %d ", p.SimilarRuns, p.VarFloor, p.ConfirmFrames, p.KbSpare,
                g.CountdownStep) +
           strf("%d ", p.FixedViewPointFlag);
}

void scanParameters(const std::string& text, KbParameters& p, GestureState& g) {
    ParameterScanner in(text);
    in.scanInt(g.DThreshold);
    in.scanInt(p.OK_HIGH, 0);
    in.scanDouble(p.OCThreshold);
    in.scanInt(g.MThreshold);
    in.scanInt(p.pos_num, 0, kGestures - 1);
    in.scanInt(g.GRATE);
    in.scanDouble(p.GRATE_SUM);
    in.scanInt(p.GRATE_COUNT);
    in.scanInt(p.NEROI, 0, kViewPoints);
    in.scanDouble(p.SKIP, 1e-6, kGridColumns);
    in.scanDouble(p.GRATE_SUM2);
    in.scanDouble(p.RSKIP, 1e-6, kSamples);
    in.scanInt(p.GRATE_COUNT2);
    in.scanDouble(p.RF_COEFFICIENT);
    in.scanInt(p.IdealGRATE);
    in.scanInt(p.SimilarRuns);
    in.scanDouble(p.VarFloor, 0.0);
    in.scanInt(p.ConfirmFrames);
    in.scanDouble(p.KbSpare);
    in.scanInt(g.CountdownStep);
    in.scanInt(p.FixedViewPointFlag);
}

void printParameters(Console& console, const KbParameters& p, const GestureState& g) {
    console.print("DThreshold=%d OK_HIGH=%d OCThreshold=%lf MThreshold=%d pos_num=%d ",
                  g.DThreshold, p.OK_HIGH, p.OCThreshold, g.MThreshold, p.pos_num);
    console.print("GRATE=%d GRATE_SUM=%lf GRATE_COUNT=%d NEROI=%d SKIP=%lf GRATE_SUM2=%lf ",
                  g.GRATE, p.GRATE_SUM, p.GRATE_COUNT, p.NEROI, p.SKIP, p.GRATE_SUM2);
    console.print("RSKIP=%lf GRATE_COUNT2=%d RF_COEFFICIENT=%lf IdealGRATE=%d \n", p.RSKIP,
                  p.GRATE_COUNT2, p.RF_COEFFICIENT, p.IdealGRATE);
}

// Reports the values of a sample above 1e9 (and those that are not numbers at all).
void reportAbnormal(Console& console, const KbRecord& record) {
    for (double value : record.Re)
        if (!(value <= kAbnormalValue))
            console.print("Abnormal Data Exist in Re(%d %d %d)\n", record.viewPoint, record.gesture,
                          record.sample);
    for (double value : record.Ps)
        if (!(value <= kAbnormalValue))
            console.print("Abnormal Data Exist in Ps(%d %d %d)\n", record.viewPoint, record.gesture,
                          record.sample);
}

std::string file2Bytes(const KnowledgeBase& kb) {
    ByteWriter out(kFile2Bytes);
    out.put(kb.labels.data(), kb.labels.size());
    const size_t protocolStart = out.data().size();
    out.put(kb.LearnProtocol.data(), kb.LearnProtocol.size());
    // The reserved field of every entry is written as 0.
    for (size_t i = 0; i < kb.LearnProtocol.size(); ++i)
        std::memset(out.data().data() + protocolStart + i * sizeof(ProtocolEntry) +
                        offsetof(ProtocolEntry, reserved),
                    0, sizeof(int32_t));
    out.put(kb.ViewPointOn.data(), kb.ViewPointOn.size());
    for (const auto& row : kb.SampleCount) out.put(row.data(), row.size());
    return std::move(out.data());
}

std::string file3Bytes(const KnowledgeBase& kb) {
    ByteWriter out(kFile3Bytes);
    out.put(kb.AcceptLevel.data(), kGestures);
    out.put(kb.SpareLevel.data(), kGestures);
    out.put(kb.OK_VAR.data(), kGestures);
    out.put(kb.RatioLevel.data(), kGestures);
    for (const auto& row : kb.ReviewViewScore) out.put(row.data(), row.size());
    for (const auto& row : kb.ReviewSum) out.put(row.data(), row.size());
    for (const auto& row : kb.ReviewCount) out.put(row.data(), row.size());
    out.put(kb.SimilarFrames.data(), kGestures);
    out.put(kb.FixedViewPoint.data(), kViewPoints);
    return std::move(out.data());
}

// The present samples as records, view point outermost, sample innermost, their index fields
// set from their place.
std::string file4Bytes(const KnowledgeBase& kb) {
    ByteWriter samples(static_cast<size_t>(kb.presentSamples()) * sizeof(KbRecord));
    for (int v = 0; v < kViewPoints; ++v)
        for (int g = 0; g < kGestures; ++g)
            for (int s = 0; s < kSamples; ++s) {
                const KbRecord* present = kb.sample(v, g, s);
                if (!present) continue;
                KbRecord record = *present;
                record.viewPoint = v;
                record.gesture = g;
                record.sample = s;
                record.reserved = 0;
                samples.put(&record, 1);
            }
    return std::move(samples.data());
}

void readFile2(const std::string& data, KnowledgeBase& kb) {
    ByteReader in(data);
    in.take(kb.labels.data(), kb.labels.size());
    in.take(kb.LearnProtocol.data(), kb.LearnProtocol.size());
    in.take(kb.ViewPointOn.data(), kb.ViewPointOn.size());
    for (auto& row : kb.SampleCount) in.take(row.data(), row.size());
    // Names stay terminated; lengths and counts stay in the ranges the recogniser indexes with.
    for (GestureLabel& label : kb.labels) {
        label.name[sizeof label.name - 1] = '\0';
        if (label.MotionLength < 0 || label.MotionLength > kSamples) label.MotionLength = 0;
    }
    for (auto& row : kb.SampleCount)
        for (int32_t& count : row)
            if (count < -1 || count > kSamples) count = -1;
}

void readFile3(const std::string& data, KnowledgeBase& kb) {
    ByteReader in(data);
    in.take(kb.AcceptLevel.data(), kGestures);
    in.take(kb.SpareLevel.data(), kGestures);
    in.take(kb.OK_VAR.data(), kGestures);
    in.take(kb.RatioLevel.data(), kGestures);
    for (auto& row : kb.ReviewViewScore) in.take(row.data(), row.size());
    for (auto& row : kb.ReviewSum) in.take(row.data(), row.size());
    for (auto& row : kb.ReviewCount) in.take(row.data(), row.size());
    in.take(kb.SimilarFrames.data(), kGestures);
    in.take(kb.FixedViewPoint.data(), kViewPoints);
    for (int32_t& slot : kb.SimilarFrames)
        if (slot < 0 || slot >= kProtocolSlots) slot = 0;
}

// Reads the records of file 4 into the emptied sample table. Reading ends at the first record
// with an index out of range; a partial record at the end is ignored.
void readFile4(const std::string& data, KnowledgeBase& kb, Console& console) {
    const size_t records = std::min(data.size() / sizeof(KbRecord), size_t{kMaxKbRecords});
    KbRecord record;
    for (size_t i = 0; i < records; ++i) {
        std::memcpy(&record, data.data() + i * sizeof(KbRecord), sizeof record);
        if (record.viewPoint < 0 || record.viewPoint >= kViewPoints || record.gesture < 0 ||
            record.gesture >= kGestures || record.sample < 0 || record.sample >= kSamples) {
            console.print("Illegal Index Number Detected in ReadKB(). Data Number = %d\n",
                          static_cast<int>(i));
            console.print("index1=%d, index2=%d,  index3=%d\n", record.viewPoint, record.gesture,
                          record.sample);
            return;
        }
        kb.storeSample(record.viewPoint, record.gesture, record.sample, record);
        reportAbnormal(console, record);
    }
}

}  // namespace

std::string kbFileName(int folderNumber, int part) {
    return strf("DALMO_data-%d-%d.dat", folderNumber, part);
}

void WriteKB(const Recogniser& recogniser, const GestureState& gesture, int folderNumber,
             FileOps& files, RecogniserHost& host) {
    Events& console = host.console();
    const KnowledgeBase& kb = recogniser.kb;
    const std::string samples = file4Bytes(kb);
    // The four files are one knowledge base: all of them are replaced or none.
    const AllOrNone saved = replaceAllOrNone(
        files, {{kbFileName(folderNumber, 1), parameterText(recogniser.params, gesture)},
                {kbFileName(folderNumber, 2), file2Bytes(kb)},
                {kbFileName(folderNumber, 3), file3Bytes(kb)},
                {kbFileName(folderNumber, 4), samples}});
    if (!saved.replaced) {
        console.printErr("Couldn't Open File in WriteKB()-[ %s ].\n", saved.failed.c_str());
        if (saved.renamed == 0)
            console.printErr("WriteKB: nothing was saved; the old files are kept.\n");
        else
            console.printErr("WriteKB: only the first %zu of the four files were saved.\n",
                             saved.renamed);
        return;
    }
    printParameters(console, recogniser.params, gesture);
    for (size_t at = 0; at < samples.size(); at += sizeof(KbRecord)) {
        KbRecord record;
        std::memcpy(&record, samples.data() + at, sizeof record);
        reportAbnormal(console, record);
    }

    host.waitWithWindow(1);
    console.print("\nWriteKB:\n");
    printBanner(console, Banner::Finished);
}

int ReadKB(Recogniser& recogniser, GestureState& gesture, int folderNumber, FileOps& files,
           RecogniserHost& host, int camBeep) {
    // All four files are read before anything changes, so a missing one leaves the running
    // knowledge base as it was.
    static constexpr size_t kBounds[4] = {kFile1Bytes, kFile2Bytes, kFile3Bytes, kFile4Bytes};
    std::optional<std::string> data[4];
    for (int part = 1; part <= 4; ++part) {
        data[part - 1] = files.readFile(kbFileName(folderNumber, part), kBounds[part - 1]);
        if (!data[part - 1]) return -1;
    }

    Events& console = host.console();
    KnowledgeBase& kb = recogniser.kb;
    kb.freeAllSamples();
    scanParameters(*data[0], recogniser.params, gesture);
    printParameters(console, recogniser.params, gesture);
    readFile2(*data[1], kb);
    readFile3(*data[2], kb);
    readFile4(*data[3], kb, console);

    host.waitWithWindow(1);
    if (camBeep) console.print("\a");
    console.print("\nReadKB:\n");
    printBanner(console, Banner::Go);
    return 0;
}

}  // namespace kalvento

#pragma once
// The extremes of a trace's samples per bucket of consecutive samples, in a pyramid of coarser
// levels, so that painting asks "what does this pixel column hold" of a few buckets instead of
// visiting every sample. The samples themselves stay in the trace's buffer; the envelope only
// summarises them and is extended as each sample is stored.
//
// A sample may be a gap (a frame that failed or never came): NaN for values, kIoGap for I/O
// levels. Gaps take no part in the extremes, and a bucket remembers that it holds one, so the
// line can be broken there without looking at the samples in between.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

namespace kestiva {

// The value of an I/O sample that was never received. Real levels lie between 1 and 127.
constexpr uint32_t kIoGap = 0xFFFFFFFFu;

inline bool isGap(double value) { return std::isnan(value); }
inline bool isGap(uint32_t value) { return value == kIoGap; }

template <typename Sample>
constexpr Sample gapSample() {
    if constexpr (std::is_floating_point_v<Sample>)
        return std::numeric_limits<Sample>::quiet_NaN();
    else
        return kIoGap;
}

// The smallest and largest valid sample of a range; low > high when it holds none.
template <typename Sample>
struct SampleExtremes {
    Sample low = emptyLow();
    Sample high = emptyHigh();
    bool hasGap = false;

    bool empty() const { return high < low; }

    void include(Sample value) {
        if (isGap(value)) {
            hasGap = true;
            return;
        }
        low = std::min(low, value);
        high = std::max(high, value);
    }
    void include(const SampleExtremes& other) {
        low = std::min(low, other.low);
        high = std::max(high, other.high);
        hasGap = hasGap || other.hasGap;
    }
    // Whether adding `other` would change nothing.
    bool covers(const SampleExtremes& other) const {
        return low <= other.low && other.high <= high && (hasGap || !other.hasGap);
    }

private:
    static constexpr Sample emptyLow() {
        if constexpr (std::is_floating_point_v<Sample>)
            return std::numeric_limits<Sample>::infinity();
        else
            return std::numeric_limits<Sample>::max();
    }
    static constexpr Sample emptyHigh() {
        if constexpr (std::is_floating_point_v<Sample>)
            return -std::numeric_limits<Sample>::infinity();
        else
            return std::numeric_limits<Sample>::min();
    }
};

template <typename Sample>
class TraceEnvelope {
public:
    using Extremes = SampleExtremes<Sample>;

    // Level 0 buckets hold 16 samples; a bucket of each level above merges 4 of the level below.
    static constexpr uint32_t kBucketShift = 4;
    static constexpr uint32_t kFanOutShift = 2;

    // Room for `capacity` samples, allocated here once; the envelope is then empty.
    void reset(uint32_t capacity) {
        levels_.clear();
        uint64_t buckets = capacity;
        uint32_t shift = kBucketShift;
        while (buckets > 1 || levels_.empty()) {
            buckets = (uint64_t(capacity) + (uint64_t(1) << shift) - 1) >> shift;
            levels_.emplace_back(size_t(buckets));
            shift += kFanOutShift;
        }
        count_ = 0;
    }

    // Forgets every sample; the storage stays.
    void clear() { count_ = 0; }

    // Takes in the sample just stored at index count(). Stops climbing at the first level it
    // does not change, so most samples touch one bucket.
    void append(Sample value) {
        const uint32_t index = count_++;
        Extremes single;
        single.include(value);
        uint32_t shift = kBucketShift;
        for (auto& level : levels_) {
            const uint32_t bucket = index >> shift;
            if (bucket >= level.size())
                return;
            Extremes& e = level[bucket];
            const bool starts = (index & ((uint32_t(1) << shift) - 1)) == 0;
            if (starts) {
                e = single;
            } else if (e.covers(single)) {
                return;
            } else {
                e.include(single);
            }
            shift += kFanOutShift;
        }
    }

    // Builds the envelope again from samples (at most the capacity), after they moved in their
    // buffer or were stored all at once: each level in one pass over the level below, which
    // costs a page load far less than climbing the levels sample by sample.
    void rebuild(std::span<const Sample> samples) {
        if (levels_.empty()) return;
        count_ = uint32_t(std::min<size_t>(samples.size(), levels_[0].size() << kBucketShift));
        size_t filled = summarise(levels_[0], count_, kBucketShift,
                                  [&](size_t k, Extremes& e) { e.include(samples[k]); });
        for (size_t level = 1; level < levels_.size(); ++level) {
            const auto& below = levels_[level - 1];
            filled = summarise(levels_[level], filled, kFanOutShift,
                               [&](size_t k, Extremes& e) { e.include(below[k]); });
        }
    }

    uint32_t count() const { return count_; }

    // The extremes of samples [from, to] (inclusive, both below count()).
    Extremes extremes(std::span<const Sample> samples, uint32_t from, uint32_t to) const {
        Extremes out;
        walk(from, to, [&](uint32_t k) { out.include(samples[k]); },
             [&](const Extremes& e) {
                 out.include(e);
                 return false;
             });
        return out;
    }

    // The first index in [from, to] whose sample `matches`, where `mayHold(extremes)` says
    // whether a bucket can hold such a sample (it must not say no when one does). Buckets that
    // cannot are passed over whole, the largest first, even where they reach past the range.
    template <typename Matches, typename MayHold>
    std::optional<uint32_t> findFirst(std::span<const Sample> samples, uint32_t from,
                                      uint32_t to, Matches matches, MayHold mayHold) const {
        uint64_t k = from;
        while (k <= to) {
            const int level = largestBucketWithout(uint32_t(k), mayHold);
            if (level >= 0) {
                const uint32_t shift = shiftOf(level);
                k = ((k >> shift) + 1) << shift;
                continue;
            }
            // The smallest bucket holding k may hold a match: its samples are looked at in
            // turn, without asking the bucket again for each.
            const uint64_t bucketEnd = (((k >> kBucketShift) + 1) << kBucketShift) - 1;
            const uint64_t end = std::min<uint64_t>(to, bucketEnd);
            for (; k <= end; ++k) {
                if (matches(samples[k]))
                    return uint32_t(k);
            }
        }
        return std::nullopt;
    }

    // As findFirst, searching backwards from `to`.
    template <typename Matches, typename MayHold>
    std::optional<uint32_t> findLast(std::span<const Sample> samples, uint32_t from, uint32_t to,
                                     Matches matches, MayHold mayHold) const {
        int64_t k = to;
        while (k >= int64_t(from)) {
            const int level = largestBucketWithout(uint32_t(k), mayHold);
            if (level >= 0) {
                const uint32_t shift = shiftOf(level);
                k = int64_t((uint64_t(k) >> shift) << shift) - 1;
                continue;
            }
            const int64_t start =
                std::max<int64_t>(from, int64_t((uint64_t(k) >> kBucketShift) << kBucketShift));
            for (; k >= start; --k) {
                if (matches(samples[size_t(k)]))
                    return uint32_t(k);
            }
        }
        return std::nullopt;
    }

    // The first gap in [from, to].
    std::optional<uint32_t> firstGap(std::span<const Sample> samples, uint32_t from,
                                     uint32_t to) const {
        return findFirst(
            samples, from, to, [](Sample s) { return isGap(s); },
            [](const Extremes& e) { return e.hasGap; });
    }

    // The first valid sample in [from, to].
    std::optional<uint32_t> firstValid(std::span<const Sample> samples, uint32_t from,
                                       uint32_t to) const {
        return findFirst(
            samples, from, to, [](Sample s) { return !isGap(s); },
            [](const Extremes& e) { return !e.empty(); });
    }

    size_t bytes() const {
        size_t total = 0;
        for (const auto& level : levels_)
            total += level.capacity() * sizeof(Extremes);
        return total;
    }

private:
    // Sets the first buckets of `level` from `count` parts below it, 2^shift parts a bucket;
    // returns the buckets set.
    template <typename Include>
    static size_t summarise(std::vector<Extremes>& level, size_t count, uint32_t shift,
                            Include include) {
        const size_t buckets = std::min(level.size(), (count + (size_t(1) << shift) - 1) >> shift);
        for (size_t b = 0; b < buckets; ++b) {
            Extremes e;
            const size_t end = std::min(count, (b + 1) << shift);
            for (size_t k = b << shift; k < end; ++k)
                include(k, e);
            level[b] = e;
        }
        return buckets;
    }

    // A bucket of a level, or a single sample (level -1).
    struct Bucket {
        int level;
        uint32_t index;
        uint32_t size;
    };

    uint32_t shiftOf(int level) const { return kBucketShift + uint32_t(level) * kFanOutShift; }

    // Whether the whole bucket lies below count(), so that its extremes are complete.
    bool complete(int level, uint32_t index) const {
        return (uint64_t(index) + 1) << shiftOf(level) <= count_;
    }

    // The largest complete bucket that starts at k and ends at or before `to`.
    Bucket largestBucketAt(uint32_t k, uint32_t to) const {
        Bucket best{-1, k, 1};
        for (int level = 0; level < int(levels_.size()); ++level) {
            const uint32_t shift = shiftOf(level);
            const uint64_t size = uint64_t(1) << shift;
            if ((k & (size - 1)) != 0 || uint64_t(k) + size - 1 > to || !complete(level, k >> shift))
                break;
            best = {level, k >> shift, uint32_t(size)};
        }
        return best;
    }

    // The highest level whose complete bucket holding k cannot hold a match; -1 for none.
    template <typename MayHold>
    int largestBucketWithout(uint32_t k, MayHold& mayHold) const {
        int found = -1;
        for (int level = 0; level < int(levels_.size()); ++level) {
            const uint32_t index = k >> shiftOf(level);
            if (!complete(level, index) || mayHold(levels_[size_t(level)][index]))
                break;
            found = level;
        }
        return found;
    }

    // Visits [from, to] as single samples and complete buckets, in order.
    template <typename OnSample, typename OnBucket>
    void walk(uint32_t from, uint32_t to, OnSample onSample, OnBucket onBucket) const {
        uint64_t k = from;
        while (k <= to) {
            const Bucket b = largestBucketAt(uint32_t(k), to);
            if (b.level < 0)
                onSample(uint32_t(k));
            else
                onBucket(levels_[size_t(b.level)][b.index]);
            k += b.size;
        }
    }

    std::vector<std::vector<Extremes>> levels_;
    uint32_t count_ = 0;
};

}  // namespace kestiva

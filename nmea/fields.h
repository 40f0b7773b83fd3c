// Field access and number conversion for NMEA sentences.
//
// Fields are numbered from 1, field 1 being the head with its "$"; a missing or empty field reads
// as the text "0". Example: in "$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35" field 4 is "04", field 6
// is "0" (empty), field 18 is "2.1" (ended by the star) and field 19 is "0" (after the star).
#pragma once

#include <array>
#include <cstdint>

#include "nmea/text.h"

namespace pathlux {

// Splits a sentence once, so that handlers can read many fields without rescanning it: the head
// alone when only the head is read (most sentences are dispatched by it and left), else all the
// fields a handler reads. Reading field k gives exactly what GetField(sentence, k) gives.
class SentenceFields {
  public:
    explicit SentenceFields(TextView sentence) : sentence_(sentence) {}

    // Field k (from 1); "0" when it is missing or empty. The view points into the sentence.
    TextView operator[](int k) const {
        if (k >= 1 && k <= count_) {
            const Span span = spans_[static_cast<std::size_t>(k - 1)];
            return span.end == span.begin
                       ? kMissing
                       : TextView(sentence_.data() + span.begin, span.end - span.begin);
        }
        return Uncached(k);
    }

    TextView sentence() const { return sentence_; }

    // Fields before the star, the last one ended by it, as receivers write them (no comma after
    // the star): the commas, and one more when a star ends the last field.
    int CountToStar() const;

  private:
    struct Span {
        std::size_t begin;
        std::size_t end;
    };
    static constexpr TextView kMissing = u"0";
    static constexpr int kCachedFields = 24;  // handlers read fields 1 to 20

    // Caches fields up to the wanted count, or until the sentence has no further field.
    void Split(int wanted) const;
    // Field k when it is not cached yet: splits the sentence that far, or scans past the cached
    // fields without caching (no handler reads that far).
    TextView Uncached(int k) const;

    TextView sentence_;
    mutable std::array<Span, kCachedFields> spans_;  // the first count_ are set
    mutable int count_ = 0;                          // fields found and cached
    mutable bool exhausted_ = false;                 // no field follows the cached ones
    mutable std::size_t nextStart_ = 0;              // where the field after the cached ones starts
};

// Field k of the sentence as a new text; "0" when missing or empty.
Text GetField(TextView sentence, int k);

// C atoi over the first 10 characters (low 8 bits of each; a zero byte ends the text): leading
// white space, an optional sign, decimal digits. Values beyond 32 bits saturate at the limits.
std::int32_t FieldToInt(TextView field);

// C atof over the first 10 characters, decimal notation only and independent of the locale:
// "nan", "inf" and hexadecimal read as 0 (no digits). Always finite: an exponent too large
// saturates at the largest double, one too small gives 0.
double FieldToReal(TextView field);

// Real to integer by truncation toward zero, saturating at the 32-bit limits (NaN gives 0).
std::int32_t TruncateToInt32(double value);

}  // namespace pathlux

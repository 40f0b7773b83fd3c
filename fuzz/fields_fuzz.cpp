// Field access and number conversion on arbitrary 16-bit text.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "nmea/fields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pathlux;
    Text sentence;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        sentence.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const SentenceFields fields(sentence);
    for (int k = -1; k <= 30; ++k) {
        const TextView field = fields[k];
        // Lazy splitting and a fresh split must agree, and a field never holds a comma.
        if (Text(field) != GetField(sentence, k) || field.empty() ||
            field.find(u',') != TextView::npos) {
            std::abort();
        }
        if (!std::isfinite(FieldToReal(field))) {
            std::abort();
        }
        (void)FieldToInt(field);
        (void)TruncateToInt32(FieldToReal(field) * 1.8518518);
    }
    return 0;
}

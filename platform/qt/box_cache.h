// What a drawing confined to a box (a text, a disc) did to the pixels of the box, kept by all that
// decides it: what was drawn and how, the box's size in device pixels and where its edges fall
// between them, and the pixels that were there before. The same drawing over the same pixels then
// costs a copy instead of Qt's layout of a text or filling of a curve, which are most of what a
// chart's redraw costs.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <cstddef>

namespace pathlux::platform {

class BoxCache {
  public:
    // Far above what the charts' numbers and discs need at the largest zoom; reaching it starts
    // afresh.
    static constexpr std::size_t kMaxBytes = std::size_t{4} << 20;

    // The pixels kept for the key, or null.
    const QImage* Find(const QByteArray& key) const;
    void Keep(const QByteArray& key, const QImage& after);

  private:
    QHash<QByteArray, QImage> kept_;
    std::size_t bytes_ = 0;
};

}  // namespace pathlux::platform

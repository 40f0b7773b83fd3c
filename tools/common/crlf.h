// Many captured logs lost their carriage returns; receivers send CR LF. Turns each bare LF into
// CR LF, also across chunk boundaries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pathlux {

class BareLfToCrLf {
  public:
    // Appends the converted chunk to out.
    void Convert(std::string_view chunk, std::string& out);

  private:
    bool lastWasCr_ = false;
};

}  // namespace pathlux

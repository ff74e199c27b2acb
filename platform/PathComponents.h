#pragma once
// Path texts taken apart the way macOS names their pieces.

#include <string>
#include <string_view>

namespace norvane {

// The last component of a path: "/a/b/c" gives "c", "/a/b/" gives "b", "/" gives "/".
std::string lastPathComponent(std::string_view path);

}  // namespace norvane

#include "platform/com/ComTypes.h"

#include <algorithm>
#include <iterator>

namespace platform::com {

bool operator==(const GUID& left, const GUID& right) {
  return left.Data1 == right.Data1 && left.Data2 == right.Data2 && left.Data3 == right.Data3 &&
         std::equal(std::begin(left.Data4), std::end(left.Data4), std::begin(right.Data4));
}

} // namespace platform::com

#include "UDec.h"

namespace qvn {

TSetting Setting;

} // namespace qvn

#include "tags/text_order.h"

namespace tags {

TextOrder HostTextOrder;

}  // namespace tags

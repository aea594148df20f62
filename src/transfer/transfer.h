// One transfer from the instrument: what it said of itself and the memory it sent. The link fills it,
// saved-transfer files keep it, the decoder reads it.
#pragma once

#include "deviceheader.h"
#include "deviceimage.h"

namespace darni::transfer {

struct Transfer
{
    DeviceHeader header;
    DeviceImage image;
};

} // namespace darni::transfer

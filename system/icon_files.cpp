#include "system/icon_files.h"

namespace purrbox {

const IconFile& emptyIconFile()
{
    static const IconFile file{"empty.dll", embedded::emptyIconFile};
    return file;
}

const IconFile& fullIconFile()
{
    static const IconFile file{"full.dll", embedded::fullIconFile};
    return file;
}

}  // namespace purrbox

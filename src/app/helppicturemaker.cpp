#include "helppicturemaker.h"

namespace plenwick {

HelpPictureProvider makeHelpPictureProvider()
{
    return {};
}

} // namespace plenwick

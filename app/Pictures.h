#pragma once
// The built-in pictures of the program's windows, from its resources; empty pictures when
// a resource is missing.

#include "forms/Picture.h"

namespace moirelle::app {

forms::Picture BuiltInBitmap(int id);
forms::Picture BuiltInGif(int id);

} // namespace moirelle::app

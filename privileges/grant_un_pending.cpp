// Work of the parts that fill the pages, called by the frame under the
// names those parts give it. Each does nothing until its part is built; the
// groups below say which part that is.
#include "privileges/grant_un.h"

// ---- assigning grant groups
void TLorvane::gmvbtnClick() {}
void TLorvane::gmvallbtnClick() {}
void TLorvane::gremvbtnClick() {}
void TLorvane::gremvallbtnClick() {}
void TLorvane::gokbtnClick() {}
void TLorvane::gescbtnClick() {}

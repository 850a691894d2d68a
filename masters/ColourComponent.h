#pragma once

#include <QString>

namespace kesola {

// A stored colour component (BR, BG, BB, FR, FG, FB) as the department editor shows it: the number clamped to
// 0..255, rounded when it has a fraction; an empty field or one that is no number shows as 0. Other programs may
// have written anything there, and the editor must still open the department.
int shownComponent(const QString& stored);

}  // namespace kesola

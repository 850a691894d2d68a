#include "store/Pro000.h"

#include "store/Texts.h"
#include "store/engine/DbError.h"

namespace kesola {

Database& requireDatabase(const Pro000& g) {
    if (!g.DB) throw DbError(texts::kNoDatabaseOpen);
    return *g.DB;
}

}  // namespace kesola

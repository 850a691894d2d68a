#include "store/Pro000.h"

#include "store/DbError.h"
#include "store/Texts.h"

namespace kesola {

Database& requireDatabase(const Pro000& g) {
    if (!g.DB) throw DbError(texts::kNoDatabaseOpen);
    return *g.DB;
}

}  // namespace kesola

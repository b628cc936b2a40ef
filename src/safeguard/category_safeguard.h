#pragma once

#include "category_table.h"

class CommandContext;

// The steps that turn categories into their archives in the library folder
// (without the overlay and alert frame around them).
namespace safeguard {

void saveCategory(CommandContext& context, const store::Category& category);
// Every category in table order; a failing one does not stop the others.
void saveAllCategories(CommandContext& context);

} // namespace safeguard

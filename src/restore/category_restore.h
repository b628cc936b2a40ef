#pragma once

#include "category_table.h"

class CommandContext;

// The steps that put categories back from their archives, through the
// staging folder (without the overlay and alert frame around them).
namespace restore {

// The staging folder's two operations. Creating removes any leftover first;
// the folder is still made without "-p", so only inside the application folder.
bool createTmpFolder(CommandContext& context);
bool removeTmpFolder(CommandContext& context);

// One category. A category with no archive runs no tool: a failure here, only
// a note when it is part of restoring everything (passedOverQuietly).
void restoreCategory(CommandContext& context, const store::Category& category,
                     bool passedOverQuietly = false);
// Every category in table order.
void restoreAllCategories(CommandContext& context);

} // namespace restore

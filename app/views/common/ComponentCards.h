#pragma once

#include "app/views/common/ComponentStates.h"

class ImportState;
class Updater;

// The importer's and the updater's states as the popover's and the settings' cards read them.
namespace ComponentCards {

ImportCardState importCard(const ImportState& state);
UpdateCardState updateCard(const Updater& updater);

} // namespace ComponentCards

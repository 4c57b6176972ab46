#include "core/store/note_record.h"

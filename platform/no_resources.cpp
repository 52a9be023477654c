// Stands in for the resource table when a build carries no resources.
#include "platform/kernel/resources.h"

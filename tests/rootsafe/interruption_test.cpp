#include "rootsafe_device.h"

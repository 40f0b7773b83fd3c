// Public header of the platform stand-in: error numbers, serial devices, events and threads,
// registered messages and posting.
#pragma once

#include "platform/comm.h"
#include "platform/errors.h"
#include "platform/post.h"
#include "platform/sync.h"

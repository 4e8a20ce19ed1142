#include "client/ClientContext.h"

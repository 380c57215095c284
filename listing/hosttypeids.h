// The numbers of the remote host types live with the connection, which
// reads the current one; the table of names and rules is listing's.
#pragma once
#include "ftp/hosttypeids.h"

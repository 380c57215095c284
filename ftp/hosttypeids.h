// The numbers of the remote host types (6000 plus the row of the table in
// listing/hosttypes), without the platform headers, for the pure rules.
#pragma once

enum : unsigned long {
    HOST_AUTO = 6000, HOST_CHAMELEON = 6001, HOST_PCTCP = 6002, HOST_IBMPC = 6003,
    HOST_IBMVM = 6004, HOST_KA9Q = 6005, HOST_NCSA = 6006, HOST_SIFTPD = 6007,
    HOST_SUPERTCP = 6008, HOST_EXOS = 6009, HOST_UNIX = 6010, HOST_MULTINET = 6011,
    HOST_UCX = 6012, HOST_WINQVT = 6013, HOST_WINNT = 6014, HOST_SOLARIS = 6015,
    HOST_SOFTINNOV = 6016, HOST_OS2 = 6017, HOST_MVS = 6018, HOST_PCTCP3 = 6019,
    HOST_VARNVMS = 6020,
};

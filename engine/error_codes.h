// Engine error codes.
//
// An engine error code is an unsigned 16-bit number; 0 means no error. The
// high byte groups the codes by kind (see the comment above each group). The
// message template of every code, and the context slots that fill it, live in
// engine/error_table.cpp; EngineErrorName() gives the symbolic name.
//
// Layers below the cursor and table operations (file list, file opening and
// sharing) return these codes negated; their callers raise them with the table
// name as context. Read operations return RUDIRA_BOF, RUDIRA_EOF,
// RUDIRA_NOCURRREC and RUDIRA_RECNOTFOUND instead of raising.
#pragma once

#include <cstdint>

namespace rudira {

// 0x00: no error
constexpr uint16_t RUDIRA_NONE = 0;  // 0x0000

// 0x22: navigation and not-found
constexpr uint16_t RUDIRA_BOF = 8705;  // 0x2201
constexpr uint16_t RUDIRA_EOF = 8706;  // 0x2202
constexpr uint16_t RUDIRA_KEYORRECDELETED = 8708;  // 0x2204
constexpr uint16_t RUDIRA_NOCURRREC = 8709;  // 0x2205
constexpr uint16_t RUDIRA_RECNOTFOUND = 8710;  // 0x2206
constexpr uint16_t RUDIRA_ENDOFBLOB = 8711;  // 0x2207

// 0x23: corrupt file buffers
constexpr uint16_t RUDIRA_HEADERCORRUPT = 8961;  // 0x2301
constexpr uint16_t RUDIRA_FILECORRUPT = 8962;  // 0x2302
constexpr uint16_t RUDIRA_MEMOCORRUPT = 8963;  // 0x2303
constexpr uint16_t RUDIRA_INDEXCORRUPT = 8965;  // 0x2305

// 0x24: read, write and delete failures
constexpr uint16_t RUDIRA_READERR = 9217;  // 0x2401
constexpr uint16_t RUDIRA_WRITEERR = 9218;  // 0x2402
constexpr uint16_t RUDIRA_FILEDELETEFAIL = 9220;  // 0x2404
constexpr uint16_t RUDIRA_FILENOACCESS = 9221;  // 0x2405

// 0x25: capacity limits
constexpr uint16_t RUDIRA_RECTOOBIG = 9477;  // 0x2505
constexpr uint16_t RUDIRA_TABLEFULL = 9479;  // 0x2507
constexpr uint16_t RUDIRA_INTERNALLIMIT = 9482;  // 0x250A
constexpr uint16_t RUDIRA_INDEXLIMIT = 9487;  // 0x250F
constexpr uint16_t RUDIRA_FLDLIMIT = 9492;  // 0x2514
constexpr uint16_t RUDIRA_OPENBLOBLIMIT = 9494;  // 0x2516
constexpr uint16_t RUDIRA_BLOBLIMIT = 9498;  // 0x251A

// 0x26: integrity and validity checks
constexpr uint16_t RUDIRA_KEYVIOL = 9729;  // 0x2601
constexpr uint16_t RUDIRA_MINVALERR = 9730;  // 0x2602
constexpr uint16_t RUDIRA_MAXVALERR = 9731;  // 0x2603
constexpr uint16_t RUDIRA_REQDERR = 9732;  // 0x2604

// 0x27: invalid requests and definitions
constexpr uint16_t RUDIRA_OUTOFRANGE = 9985;  // 0x2701
constexpr uint16_t RUDIRA_PRIMARYKEYREDEFINE = 9993;  // 0x2709
constexpr uint16_t RUDIRA_INVALIDBLOBOFFSET = 9998;  // 0x270E
constexpr uint16_t RUDIRA_INVALIDFLDTYPE = 10000;  // 0x2710
constexpr uint16_t RUDIRA_INVALIDVCHKSTRUCT = 10006;  // 0x2716
constexpr uint16_t RUDIRA_INDEXNAMEREQUIRED = 10010;  // 0x271A
constexpr uint16_t RUDIRA_INVALIDPASSWORD = 10015;  // 0x271F
constexpr uint16_t RUDIRA_INVALIDINDEXNAME = 10022;  // 0x2726
constexpr uint16_t RUDIRA_INVALIDIDXDESC = 10023;  // 0x2727
constexpr uint16_t RUDIRA_INVALIDKEY = 10026;  // 0x272A
constexpr uint16_t RUDIRA_INDEXEXISTS = 10027;  // 0x272B
constexpr uint16_t RUDIRA_INVALIDBLOBLEN = 10029;  // 0x272D
constexpr uint16_t RUDIRA_INVALIDBLOBHANDLE = 10030;  // 0x272E
constexpr uint16_t RUDIRA_TABLEOPEN = 10031;  // 0x272F
constexpr uint16_t RUDIRA_INVALIDFIELDNAME = 10038;  // 0x2736
constexpr uint16_t RUDIRA_NOSUCHFILTER = 10050;  // 0x2742
constexpr uint16_t RUDIRA_INVALIDFILTER = 10051;  // 0x2743
constexpr uint16_t RUDIRA_INVALIDINDEXDELETE = 10055;  // 0x2747

// 0x28: locks
constexpr uint16_t RUDIRA_LOCKED = 10241;  // 0x2801
constexpr uint16_t RUDIRA_UNLOCKFAILED = 10242;  // 0x2802
constexpr uint16_t RUDIRA_LOCKTIMEOUT = 10249;  // 0x2809
constexpr uint16_t RUDIRA_NEEDEXCLACCESS = 10253;  // 0x280D
constexpr uint16_t RUDIRA_RECLOCKFAILED = 10258;  // 0x2812

// 0x29: rights
constexpr uint16_t RUDIRA_NOTSUFFTABLERIGHTS = 10498;  // 0x2902

// 0x2A: engine state and BLOB fields
constexpr uint16_t RUDIRA_NOTABLOB = 10753;  // 0x2A01
constexpr uint16_t RUDIRA_NOTINITIALIZED = 10758;  // 0x2A06

// 0x2B: operating-system conditions
constexpr uint16_t RUDIRA_OSENOENT = 11010;  // 0x2B02
constexpr uint16_t RUDIRA_OSEMFILE = 11012;  // 0x2B04
constexpr uint16_t RUDIRA_OSEACCES = 11013;  // 0x2B05
constexpr uint16_t RUDIRA_OSEBADF = 11014;  // 0x2B06
constexpr uint16_t RUDIRA_OSENOMEM = 11016;  // 0x2B08
constexpr uint16_t RUDIRA_OSEINVMEM = 11017;  // 0x2B09
constexpr uint16_t RUDIRA_OSENODEV = 11023;  // 0x2B0F
constexpr uint16_t RUDIRA_OSENOTSAM = 11025;  // 0x2B11
constexpr uint16_t RUDIRA_OSUNKNOWN = 11047;  // 0x2B27

// 0x2C: remote server
constexpr uint16_t RUDIRA_REMOTECOMMLOST = 11276;  // 0x2C0C
constexpr uint16_t RUDIRA_REMOTEUNKNOWN = 11279;  // 0x2C0F
constexpr uint16_t RUDIRA_REMOTECONNECT = 11280;  // 0x2C10
constexpr uint16_t RUDIRA_REMOTENOLOGIN = 11281;  // 0x2C11
constexpr uint16_t RUDIRA_REMOTEMAXCONNECT = 11282;  // 0x2C12
constexpr uint16_t RUDIRA_REMOTEADDRESSBLOCK = 11283;  // 0x2C13
constexpr uint16_t RUDIRA_REMOTECALLBACK = 11284;  // 0x2C14
constexpr uint16_t RUDIRA_REMOTECALLBACKERR = 11285;  // 0x2C15
constexpr uint16_t RUDIRA_REMOTEVERSION = 11286;  // 0x2C16
constexpr uint16_t RUDIRA_REMOTEINVLOGIN = 11287;  // 0x2C17
constexpr uint16_t RUDIRA_REMOTENOTAUTH = 11288;  // 0x2C18
constexpr uint16_t RUDIRA_REMOTENOTADMIN = 11289;  // 0x2C19
constexpr uint16_t RUDIRA_REMOTEINVUSER = 11290;  // 0x2C1A
constexpr uint16_t RUDIRA_REMOTENOUSER = 11291;  // 0x2C1B
constexpr uint16_t RUDIRA_REMOTEDUPUSER = 11292;  // 0x2C1C
constexpr uint16_t RUDIRA_REMOTEINVDB = 11293;  // 0x2C1D
constexpr uint16_t RUDIRA_REMOTENODB = 11294;  // 0x2C1E
constexpr uint16_t RUDIRA_REMOTEDUPDB = 11295;  // 0x2C1F
constexpr uint16_t RUDIRA_REMOTEINVDBUSER = 11296;  // 0x2C20
constexpr uint16_t RUDIRA_REMOTENODBUSER = 11297;  // 0x2C21
constexpr uint16_t RUDIRA_REMOTEDUPDBUSER = 11298;  // 0x2C22
constexpr uint16_t RUDIRA_REMOTEINVREQUEST = 11299;  // 0x2C23
constexpr uint16_t RUDIRA_IMPORTERROR = 11300;  // 0x2C24
constexpr uint16_t RUDIRA_EXPORTERROR = 11301;  // 0x2C25

// 0x2E: SQL
constexpr uint16_t RUDIRA_SQLPARSE = 11949;  // 0x2EAD

// 0x2F: table version
constexpr uint16_t RUDIRA_OLDVERSION = 12035;  // 0x2F03

// 0x30: index field
constexpr uint16_t RUDIRA_SEARCHCOLREQD = 12292;  // 0x3004

// 0x33: existence
constexpr uint16_t RUDIRA_TABLEEXISTS = 13060;  // 0x3304

// 0x3A: compression
constexpr uint16_t RUDIRA_COMPRESS = 15001;  // 0x3A99
constexpr uint16_t RUDIRA_UNCOMPRESS = 15002;  // 0x3A9A

// 0x3E: locales
constexpr uint16_t RUDIRA_CANNOTLOADLDDRV = 15878;  // 0x3E06

}  // namespace rudira

// The Apple event codes of Core Services (AE/AppleEvents.h), as Apple's "Selected Apple Event
// Constants" (Apple Events Programming Guide, appendix 2) gives them.
#pragma once
#include <stdint.h>
typedef uint32_t FourCharCode;
typedef FourCharCode AEEventClass;
typedef FourCharCode AEEventID;
enum : AEEventClass { kCoreEventClass = 'aevt' };
enum : AEEventID { kAEReopenApplication = 'rapp' };

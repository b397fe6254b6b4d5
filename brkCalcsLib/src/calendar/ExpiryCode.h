// Classification of an expiry date, as handed to the expiry-type lookups.
#pragma once

enum EExpiryCode { eExpiryStandard = 0, eExpiryWeekly = 1, eExpiryQuarterly = 2, eExpiryNone = 3 };

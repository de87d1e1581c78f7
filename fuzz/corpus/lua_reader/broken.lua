if (a then
 x="open
--[==[ never closed
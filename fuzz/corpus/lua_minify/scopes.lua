local v=1 do local v=v+1 print(v) end
local o={} function o:m(s) return self.k+s end
setmetatable(o,{__index=function(t,k) return k end})
for i=1,3 do local c=i fs[i]=function() return c end end
::top:: repeat local n=(n or 0)+1 until n>3 if (n) goto top
local _ENV={print=print} x=0x0010+1.0+0x.8+0b11
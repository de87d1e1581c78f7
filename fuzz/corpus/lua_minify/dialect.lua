local a,b=0x1f.8,0b101.1 a>>>=1 b<<>=2 a^^=b a..="\z  x\65\x4a\*"
while (a>0) a\=2
x=@a+%b+$c ~~a y=a!=b and [==[
long]]]==] or 'q'
::top:: repeat local n=n or 1 until n>3 goto done ::done::
local o={} function o:m(...) return self,... end // slashes
--[[ long
]]

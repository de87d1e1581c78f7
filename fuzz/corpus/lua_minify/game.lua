player={x=64,y=64,speed=2}
local axes=split("x,y")
function _update()
 for a in all(axes) do player[a]=mid(0,player[a],120) end
 if (btn(‹)) player.x-=player.speed
 local h=obj["on_"..ev] obj.on_hit=1
end
function _draw() cls() ?"hp "..player.hp,0,0
end

-- a game
function _init()
 px,py=64,64 enemies={}
end
function _update()
 if (btn(‹)) px-=1
 if (btn(‘)) px+=1 else px=mid(0,px,120)
 for e in all(enemies) do e.x+=e.dx end
end
function _draw()
 cls() spr(1,px,py) ?"score "..score,0,0,7
end

#!/usr/bin/env bash
# Draws the package drawings that ship beside the program: 400x300 monochrome BMP files named
# <number>.BMP, one folder per device type (TRANS, DIODE, STAB, VARC, THYRIST, LEDS).
# The numbers are the package drawing numbers used by the sample bases in data/samples.
# Needs ImageMagick (convert) and the DejaVu Sans fonts.
#   tools/drawings/make_drawings.sh [DATA_DIR]     (default: data/ of this repository)
# Views are drawn schematically, not to one scale; the figures are the dimensions in mm.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
DATA=${1:-$(cd "$here/../.." && pwd)/data}
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
W=400
H=300

A=()  # convert arguments of the drawing being built

# ---- primitives -------------------------------------------------------------------------------
draw() { A+=(-draw "$1"); }
thin() { A+=(-strokewidth 1 -draw "$1" -strokewidth 2); }
dashed() { A+=(-strokewidth 1 -draw "stroke-dasharray 10 3 2 3 $1" -strokewidth 2); }
filled() { A+=(-fill black -draw "$1" -fill none); }
line() { draw "line $1,$2 $3,$4"; }
rect() { draw "rectangle $1,$2 $3,$4"; }
circle() { draw "circle $1,$2 $(($1 + $3)),$2"; }
dot() { filled "circle $1,$2 $(($1 + $3)),$2"; }
ext() { thin "line $1,$2 $3,$4"; }            # extension line
# Texts: quotes in labels are not allowed.
text_at() { A+=(-fill black -stroke none -draw "text $1,$2 '$3'" -fill none -stroke black); }
text_c() { A+=(-fill black -stroke none -draw "gravity Center text $(($1 - W / 2)),$(($2 - H / 2)) '$3'" -fill none -stroke black); }
text_l() { A+=(-fill black -stroke none -draw "gravity West text $1,$(($2 - H / 2)) '$3'" -fill none -stroke black); }
text_r() { A+=(-fill black -stroke none -draw "gravity East text $((W - $1)),$(($2 - H / 2)) '$3'" -fill none -stroke black); }

arrow_r() { filled "polygon $1,$2 $(($1 - 9)),$(($2 - 3)) $(($1 - 9)),$(($2 + 3))"; }
arrow_l() { filled "polygon $1,$2 $(($1 + 9)),$(($2 - 3)) $(($1 + 9)),$(($2 + 3))"; }
arrow_d() { filled "polygon $1,$2 $(($1 - 3)),$(($2 - 9)) $(($1 + 3)),$(($2 - 9))"; }
arrow_u() { filled "polygon $1,$2 $(($1 - 3)),$(($2 + 9)) $(($1 + 3)),$(($2 + 9))"; }

# hdim X1 X2 Y LABEL [DX]: horizontal dimension, label above the line (moved by DX);
# short spans get outer arrows.
hdim() {
    local x1=$1 x2=$2 y=$3
    if (($2 - $1 >= 26)); then
        thin "line $x1,$y $x2,$y"
        arrow_l "$x1" "$y"
        arrow_r "$x2" "$y"
    else
        thin "line $((x1 - 16)),$y $((x2 + 16)),$y"
        arrow_r "$x1" "$y"
        arrow_l "$x2" "$y"
    fi
    text_c $(((x1 + x2) / 2 + ${5:-0})) $((y - 9)) "$4"
}
# vdim X Y1 Y2 LABEL SIDE: vertical dimension, label left (l) or right (r) of the line.
vdim() {
    local x=$1 y1=$2 y2=$3
    if (($3 - $2 >= 26)); then
        thin "line $x,$y1 $x,$y2"
        arrow_u "$x" "$y1"
        arrow_d "$x" "$y2"
    else
        thin "line $x,$((y1 - 16)) $x,$((y2 + 16))"
        arrow_d "$x" "$y1"
        arrow_u "$x" "$y2"
    fi
    if [ "$5" = l ]; then text_r $((x - 5)) $(((y1 + y2) / 2)) "$4"; else text_l $((x + 5)) $(((y1 + y2) / 2)) "$4"; fi
}
# leader X1 Y1 X2 Y2 LABEL: a thin line from a feature to its label (label right of X2).
leader() {
    ext "$1" "$2" "$3" "$4"
    text_l $(($3 + 3)) "$4" "$5"
}

begin() {
    A=(-size ${W}x${H} xc:white -stroke black -strokewidth 2 -fill none -font "$FONT" -pointsize 12)
    A+=(-font "$BOLD" -pointsize 15 -fill black -stroke none -draw "text 10,21 '$1'"
        -font "$FONT" -pointsize 12 -fill none -stroke black)
}
# note TEXT: the line under the drawing.
note() {
    if [ -n "$1" ]; then text_at 10 293 "Размеры в мм. $1"; else text_at 10 293 "Размеры в мм"; fi
    NOTED=1
}
finish() {
    [ "${NOTED:-}" = 1 ] || note ""
    NOTED=
    mkdir -p "$DATA/$1"
    convert "${A[@]}" -threshold 55% -type bilevel "BMP3:$DATA/$1/$2.BMP"
}

# ---- package families ------------------------------------------------------------------------

# TO-92 with 2 or 3 leads: front view and bottom view.
to92() { # TITLE PINS
    begin "$1"
    local x0=100 x1=147
    draw "polygon $x0,70 $((x0 + 7)),62 $((x1 - 7)),62 $x1,70 $x1,112 $x0,112"
    local pins
    if [ "$2" = 2 ]; then pins="112 134"; else pins="112 123 134"; fi
    local n=1 p
    for p in $pins; do
        rect $((p - 2)) 112 $((p + 2)) 230
        text_c "$p" 244 "$n"
        n=$((n + 1))
    done
    ext $x0 68 $x0 42
    ext $x1 68 $x1 42
    hdim $x0 $x1 48 "5,2"
    ext $((x0 + 7)) 62 62 62
    ext $x0 112 62 112
    ext 112 230 62 230
    vdim 68 62 112 "5,3" l
    vdim 68 112 230 "12,7 min" l
    # bottom view, flat face down
    draw "path 'M 263,169 A 47,47 0 1,1 337,169 Z'"
    if [ "$2" = 2 ]; then
        dot 277 148 4
        dot 323 148 4
        ext 277 152 277 211
        ext 323 152 323 211
        hdim 277 323 205 "2,54"
    else
        dot 277 148 4
        dot 300 148 4
        dot 323 148 4
        ext 277 152 277 211
        ext 300 152 300 211
        hdim 277 300 205 "1,27"
    fi
    ext 300 93 371 93
    ext 337 169 371 169
    vdim 365 93 169 "4,2" r
    text_c 300 245 "Вид снизу"
    note "Выводы 0,45 x 0,45"
}

# Metal can (TO-18, TO-39): side view and bottom view with three leads and the key tab.
tocan() { # TITLE D FLANGE H LEADLEN PINCIRCLE
    begin "$1"
    rect 110 72 190 136
    rect 104 136 196 144
    rect 196 137 204 143
    local p
    for p in 130 150 170; do rect $((p - 1)) 144 $((p + 1)) 250; done
    ext 110 70 110 49
    ext 190 70 190 49
    hdim 110 190 55 "⌀$2"
    ext 108 72 74 72
    ext 102 144 74 144
    ext 128 250 74 250
    vdim 80 72 144 "$4" l
    vdim 80 144 250 "$5" l
    # bottom view
    circle 300 150 48
    circle 300 150 42
    draw "polygon 270,185 264,180 258,187 263,193"
    dot 278 150 4
    dot 300 128 4
    dot 322 150 4
    ext 278 154 278 221
    ext 322 154 322 221
    hdim 278 322 215 "$6"
    leader 334 116 352 96 "⌀$3"
    text_c 300 250 "Вид снизу"
}

# Plastic body with a mounting hole and three (or two) leads: TO-126, TO-247.
holebody() { # TITLE WPX HPX HOLE_Y HOLE_R LEADPX PITCHPX WLABEL HLABEL LEADLABEL PITCHLABEL HOLELABEL THICKPX THICKLABEL
    begin "$1"
    local cx=140 w=$2 h=$3 top=58
    local x0=$((cx - w / 2)) x1=$((cx + w / 2)) y1=$((top + h))
    rect $x0 $top $x1 $y1
    circle $cx $((top + $4)) "$5"
    local yl=$((y1 + $6)) p
    for p in $((cx - $7)) $cx $((cx + $7)); do rect $((p - 2)) $y1 $((p + 2)) $yl; done
    ext $x0 $((top - 2)) $x0 $((top - 18))
    ext $x1 $((top - 2)) $x1 $((top - 18))
    hdim $x0 $x1 $((top - 12)) "$8"
    ext $((x0 - 2)) $top 44 $top
    ext $((x0 - 2)) $y1 44 $y1
    ext $((cx - $7 - 3)) $yl 44 $yl
    vdim 50 $top $y1 "$9" l
    vdim 50 $y1 $yl "${10}" l
    ext $cx $((yl + 2)) $cx $((yl + 18))
    ext $((cx + $7)) $((yl + 2)) $((cx + $7)) $((yl + 18))
    hdim $cx $((cx + $7)) $((yl + 12)) "${11}" $(($7 / 2 + 32))
    leader $((cx + $5 - 2)) $((top + $4 - $5 + 2)) $((x1 + 20)) $((top + 8)) "⌀${12}"
    # side view
    local sx=310
    rect $sx $top $((sx + ${13})) $y1
    rect $((sx + ${13} / 2 - 2)) $y1 $((sx + ${13} / 2 + 2)) $yl
    ext $sx $((top - 2)) $sx $((top - 16))
    ext $((sx + ${13})) $((top - 2)) $((sx + ${13})) $((top - 16))
    hdim $sx $((sx + ${13})) $((top - 10)) "${14}"
    text_c $((sx + ${13} / 2)) $((yl + 16)) "Вид сбоку"
}

# TO-220 style: metal tab with hole over a plastic body, 2 or 3 leads.
to220() { # TITLE PINS
    begin "$1"
    local x0=95 x1=165 cx=130
    rect $x0 60 $x1 104
    circle $cx 78 13
    rect $x0 104 $x1 167
    local pins p
    if [ "$2" = 2 ]; then pins="112 148"; else pins="112 130 148"; fi
    for p in $pins; do rect $((p - 3)) 167 $((p + 3)) 250; done
    ext $x0 58 $x0 42
    ext $x1 58 $x1 42
    hdim $x0 $x1 48 "10,0"
    ext 93 60 54 60
    ext 93 104 54 104
    ext 93 167 54 167
    ext 109 250 54 250
    vdim 60 60 104 "6,5" l
    vdim 60 104 167 "9,0" l
    vdim 60 167 250 "13,5" l
    if [ "$2" = 2 ]; then
        ext 112 252 112 272
        ext 148 252 148 272
        hdim 112 148 266 "5,08" 44
    else
        ext 112 252 112 272
        ext 130 252 130 272
        hdim 112 130 266 "2,54" 40
    fi
    leader 139 69 190 62 "⌀3,7"
    # side view
    rect 290 60 299 167
    rect 299 104 322 167
    rect 305 167 309 250
    ext 322 102 322 42
    ext 290 58 290 42
    hdim 290 322 48 "4,5"
    leader 296 140 340 130 "1,3"
    text_c 306 266 "Вид сбоку"
}

# TO-3 flange, top view.
to3() { # TITLE
    begin "$1"
    draw "path 'M 59,135 L 120,88 A 78,78 0 0,1 180,88 L 241,135 A 25,25 0 0,1 241,185 L 180,232 A 78,78 0 0,1 120,232 L 59,185 A 25,25 0 0,1 59,135 Z'"
    circle 150 160 62
    circle 59 160 12
    circle 241 160 12
    dashed "line 30,160 270,160"
    dashed "line 150,70 150,250"
    circle 117 193 5
    circle 183 193 5
    ext 59 175 59 260
    ext 241 175 241 260
    hdim 59 241 254 "30,15"
    ext 34 165 34 280
    ext 266 165 266 280
    hdim 34 266 274 "39,4 max"
    ext 185 82 316 82
    ext 185 238 316 238
    vdim 310 82 238 "26,7 max" r
    leader 194 113 262 60 "⌀22,2"
    leader 248 152 280 112 "2 отв. ⌀4,1"
    text_at 10 45 "Выводы 1,0 x 11, между ними 10,9"
    text_at 10 62 "Высота корпуса 8,5 max"
}

# SOT-23 top view and side view.
sot23() { # TITLE
    begin "$1"
    rect 82 124 198 176
    rect 94 176 110 198
    rect 170 176 186 198
    rect 132 102 148 124
    text_c 86 190 "1"
    text_c 194 190 "2"
    text_c 156 110 "3"
    ext 80 124 54 124
    ext 80 176 54 176
    vdim 60 124 176 "1,3" l
    ext 150 102 236 102
    ext 188 198 236 198
    vdim 230 102 198 "2,4" r
    ext 82 178 82 256
    ext 198 178 198 256
    hdim 82 198 250 "2,9"
    ext 102 200 102 232
    ext 178 200 178 232
    hdim 102 178 226 "1,9"
    # side view
    rect 296 130 344 166
    draw "polyline 296,158 288,158 284,170 274,170"
    draw "polyline 344,158 352,158 356,170 366,170"
    ext 346 130 386 130
    ext 368 170 386 170
    vdim 380 130 170 "1,0" l
    text_c 320 200 "Вид сбоку"
}

# Two-terminal SMD (SOD-123, SOD-323, SMA): top view with cathode band and side view.
smd2() { # TITLE BODYL BODYW OVERALL HEIGHT
    begin "$1"
    text_l 10 115 "Вид сверху"
    rect 110 80 250 150
    filled "rectangle 118,80 132,150"
    rect 90 100 110 130
    rect 250 100 270 130
    ext 110 78 110 59
    ext 250 78 250 59
    hdim 110 250 65 "$2"
    ext 252 80 306 80
    ext 252 150 306 150
    vdim 300 80 150 "$3" r
    ext 90 132 90 191
    ext 270 132 270 191
    hdim 90 270 185 "$4"
    text_l 10 238 "Вид сбоку"
    rect 110 222 250 250
    rect 90 244 110 250
    rect 250 244 270 250
    ext 252 222 306 222
    ext 272 250 306 250
    vdim 300 222 250 "$5" r
    note "Полоса - катод"
}

# Axial leaded diode body (glass or plastic) with a cathode band and broken leads.
axial() { # TITLE L D LEADLEN LEADD HALFPX
    begin "$1"
    local h=$6 cy=150
    local yt=$((cy - h)) yb=$((cy + h))
    draw "roundrectangle 140,$yt 260,$yb 6,6"
    filled "rectangle 150,$yt 164,$yb"
    A+=(-strokewidth 3)
    line 20 $cy 140 $cy
    line 260 $cy 380 $cy
    A+=(-strokewidth 2)
    # break marks on the leads
    A+=(-stroke white -strokewidth 5 -draw "line 70,$((cy - 6)) 62,$((cy + 6))" -stroke black -strokewidth 1)
    A+=(-draw "line 74,$((cy - 8)) 66,$((cy + 4))" -draw "line 66,$((cy - 4)) 58,$((cy + 8))" -strokewidth 2)
    ext 140 $((yt - 2)) 140 $((yt - 30))
    ext 260 $((yt - 2)) 260 $((yt - 30))
    hdim 140 260 $((yt - 24)) "$2"
    ext 262 $yt 318 $yt
    ext 262 $yb 318 $yb
    thin "line 312,$((yt - 14)) 312,$yb"
    arrow_d 312 $yt
    arrow_u 312 $yb
    text_l 317 $((yt - 10)) "⌀$3"
    ext 20 $((cy + 3)) 20 $((yb + 48))
    ext 140 $((yb + 2)) 140 $((yb + 48))
    hdim 20 140 $((yb + 42)) "$4"
    note "Выводы $5, полоса - катод"
}

# MELF: cylinder with metal end caps and a cathode band, no leads.
melf() { # TITLE L D
    begin "$1"
    rect 120 120 280 180
    rect 120 120 140 180
    rect 260 120 280 180
    filled "rectangle 146,120 158,180"
    ext 120 118 120 89
    ext 280 118 280 89
    hdim 120 280 95 "$2"
    ext 282 120 336 120
    ext 282 180 336 180
    vdim 330 120 180 "$3" r
    ext 120 182 120 226
    ext 140 182 140 226
    hdim 120 140 220 "0,3"
    note "Торцы - выводы, полоса - катод"
}

# Stud mounted case: terminal on top, hexagon, threaded stud below.
stud() { # TITLE HEX THREAD THREADLEN BODYH TOTAL TOPNOTE
    begin "$1"
    rect 146 38 154 80
    circle 150 48 4
    rect 122 80 178 132
    rect 105 132 195 162
    line 128 132 128 162
    line 172 132 172 162
    rect 132 162 168 232
    local y
    for ((y = 168; y < 230; y += 8)); do thin "line 132,$y 168,$((y + 6))"; done
    ext 105 164 105 266
    ext 195 164 195 266
    hdim 105 195 260 "$2"
    ext 170 232 236 232
    ext 197 162 236 162
    vdim 230 162 232 "$4" r
    ext 180 80 236 80
    vdim 230 80 162 "$5" r
    ext 156 38 316 38
    ext 240 232 316 232
    vdim 310 38 232 "$6" r
    ext 132 200 96 200
    text_r 92 200 "$3"
    note "$7"
}

# Round LED: side view (dome, flange with a flat, leads) and top view.
ledround() { # TITLE D FLANGE H LEADLEN RPX FLANGEPX
    begin "$1"
    local cx=140 r=$6 f=$7
    local x0=$((cx - r)) x1=$((cx + r))
    draw "path 'M $x0,$((50 + r)) A $r,$r 0 0,1 $x1,$((50 + r)) L $x1,150 L $x0,150 Z'"
    rect $((cx - f)) 150 $((cx + f - 4)) 160
    rect 120 160 124 250
    rect 156 160 160 238
    text_r 116 246 "А"
    text_l 164 234 "К"
    ext $x0 $((50 + r)) $x0 34
    ext $x1 $((50 + r)) $x1 34
    hdim $x0 $x1 40 "⌀$2"
    ext $((cx - 2)) 50 52 50
    ext $((cx - f - 2)) 160 52 160
    ext 118 250 52 250
    vdim 58 50 160 "$4" l
    vdim 58 160 250 "$5" l
    ext 122 252 122 274
    ext 158 240 158 274
    hdim 122 158 268 "2,54"
    # top view, flat on the cathode side
    local tx=310 ty=120
    local c=$(awk -v f="$f" 'BEGIN { printf "%d", sqrt(f * f - (f - 6) * (f - 6)) + 0.5 }')
    draw "path 'M $((tx + f - 6)),$((ty - c)) A $f,$f 0 1,0 $((tx + f - 6)),$((ty + c)) Z'"
    circle $tx $ty $r
    ext $((tx - f)) $((ty + 4)) $((tx - f)) $((ty + f + 34))
    ext $((tx + f - 6)) $((ty + c + 2)) $((tx + f - 6)) $((ty + f + 34))
    hdim $((tx - f)) $((tx + f - 6)) $((ty + f + 28)) "⌀$3"
    text_c $tx $((ty + f + 50)) "Вид сверху"
    text_l $((tx + f)) $ty "К"
    note "Длинный вывод - анод, срез фланца - катод"
}

# Rectangular LED 2x5 mm: front and top views.
ledrect() { # TITLE
    begin "$1"
    rect 110 60 150 150
    rect 104 150 156 158
    rect 116 158 120 250
    rect 140 158 144 238
    text_r 112 246 "А"
    text_l 148 234 "К"
    ext 110 58 110 40
    ext 150 58 150 40
    hdim 110 150 46 "5,0"
    ext 108 60 52 60
    ext 102 158 52 158
    ext 114 250 52 250
    vdim 58 60 158 "8,6" l
    vdim 58 158 250 "25 min" l
    ext 118 252 118 274
    ext 142 240 142 274
    hdim 118 142 268 "2,54" 32
    # top view
    rect 250 110 350 150
    ext 250 108 250 84
    ext 350 108 350 84
    hdim 250 350 90 "5,0"
    ext 352 110 384 110
    ext 352 150 384 150
    vdim 378 110 150 "2,0" l
    text_c 300 175 "Вид сверху"
    note "Длинный вывод - анод"
}

# Soviet KT-13 flat plastic case (KT315, KT361).
kt13() { # TITLE
    begin "$1"
    draw "polygon 95,70 167,70 167,130 95,130"
    line 95 82 167 82
    local p
    for p in 106 131 156; do rect $((p - 3)) 130 $((p + 3)) 230; done
    text_c 106 242 "Э"
    text_c 131 242 "К"
    text_c 156 242 "Б"
    ext 95 68 95 46
    ext 167 68 167 46
    hdim 95 167 52 "7,2"
    ext 93 70 54 70
    ext 93 130 54 130
    ext 102 230 54 230
    vdim 60 70 130 "6,0" l
    vdim 60 130 230 "15 min" l
    ext 131 250 131 270
    ext 156 250 156 270
    hdim 131 156 264 "2,5" 30
    # side view with the bevel of the front face
    draw "polygon 290,70 317,70 317,130 290,130"
    line 290 82 317 82
    rect 302 130 306 230
    ext 290 68 290 46
    ext 317 68 317 46
    hdim 290 317 52 "2,7"
    text_c 304 246 "Вид сбоку"
    note "Скос - со стороны маркировки"
}

# Soviet metal-glass zener case (D814, D818): can with two leads.
metalglass() { # TITLE
    begin "$1"
    rect 110 90 190 150
    rect 104 150 196 160
    rect 148 60 152 90
    rect 148 160 152 260
    ext 110 88 110 64
    ext 190 88 190 64
    hdim 110 190 70 "⌀7,0" 22
    ext 102 160 62 160
    ext 108 90 62 90
    vdim 68 90 160 "10,5" l
    ext 146 260 62 260
    vdim 68 160 260 "25 min" l
    ext 198 150 236 150
    ext 198 160 236 160
    vdim 230 150 160 "1,0" r
    leader 196 156 270 190 "⌀8,5"
    note "Корпус - анод, изолированный вывод - катод"
}

# ---- the drawings ----------------------------------------------------------------------------

# Start clean so that a drawing dropped here does not linger in the folders.
for folder in TRANS DIODE STAB VARC THYRIST LEDS; do rm -f "$DATA/$folder"/*.BMP; done


to92 "TO-92 (КТ-26)" 3;                                       finish TRANS 1
holebody "TO-126 (КТ-27)" 62 88 30 13 110 18 "7,8" "11,0" "15,5" "2,28" "3,2" 22 "2,8"
                                                               finish TRANS 2
to220 "TO-220 (КТ-28)" 3;                                     finish TRANS 3
to3 "TO-3 (КТ-9)";                                            finish TRANS 4
sot23 "SOT-23";                                               finish TRANS 5
tocan "TO-18" "4,8" "5,8" "5,3" "12,7 min" "2,54";            finish TRANS 6
kt13 "КТ-13 (КТ315, КТ361)";                                  finish TRANS 7
tocan "TO-39" "8,5" "9,4" "6,6" "12,7 min" "5,08";            finish TRANS 8
holebody "TO-247" 80 105 31 9 92 27 "15,9" "20,9" "20,0" "5,45" "3,6" 25 "5,0"
                                                               finish TRANS 9

axial "DO-35" "4,0 max" "1,9" "25,4 min" "0,5" 24;             finish DIODE 1
axial "DO-41" "5,2 max" "2,7" "25,4 min" "0,85" 31;            finish DIODE 2
axial "DO-201AD" "9,5 max" "5,3" "25,4 min" "1,3" 42;          finish DIODE 3
stud "DO-4 (КД202)" "S 11" "М5" "10,5" "10,2" "26 max" "Корпус - катод, резьба 10-32 UNF"
                                                               finish DIODE 4
to220 "TO-220AC" 2;                                           finish DIODE 5
smd2 "SOD-123" "2,7" "1,6" "3,7" "1,1";                         finish DIODE 6
smd2 "SMA (DO-214AC)" "4,3" "2,6" "5,2" "2,3";                  finish DIODE 7
melf "MiniMELF (SOD-80)" "3,5" "1,6";                          finish DIODE 8

axial "DO-35" "4,0 max" "1,9" "25,4 min" "0,5" 24;             finish STAB 1
axial "DO-41" "5,2 max" "2,7" "25,4 min" "0,85" 31;            finish STAB 2
melf "MiniMELF (SOD-80)" "3,5" "1,6";                          finish STAB 3
sot23 "SOT-23";                                               finish STAB 4
stud "Корпус с винтом М5 (Д815)" "S 11" "М5" "10,5" "10,2" "26 max" "Корпус - анод стабилитрона"
                                                               finish STAB 5
metalglass "Металлостеклянный корпус (Д814, Д818)";           finish STAB 6

to92 "TO-92, 2 вывода" 2;                                     finish VARC 1
smd2 "SOD-323" "1,7" "1,25" "2,5" "0,95";                       finish VARC 2
to92 "TO-92, 3 вывода" 3;                                     finish VARC 3
sot23 "SOT-23";                                               finish VARC 4
axial "Пластмассовый корпус (КВ109)" "5,0 max" "2,9" "20 min" "0,6" 36; finish VARC 5

to92 "TO-92" 3;                                               finish THYRIST 1
to220 "TO-220AB" 3;                                           finish THYRIST 2
stud "КУ202, КУ208 (корпус с винтом М6)" "S 14" "М6" "11,0" "13,0" "48 max" "Корпус - анод"
                                                               finish THYRIST 3
holebody "TO-126 (TO-225AA)" 62 88 30 13 110 18 "7,8" "11,0" "15,5" "2,28" "3,2" 22 "2,8"
                                                               finish THYRIST 4

ledround "Светодиод 5 мм (T-1 3/4)" "5,0" "5,8" "8,6" "25 min" 35 41; finish LEDS 1
ledround "Светодиод 3 мм (T-1)" "3,0" "3,8" "5,3" "25 min" 24 30;     finish LEDS 2
ledround "АЛ307 (пластмассовый корпус)" "5,0" "5,8" "7,5" "20 min" 35 41; finish LEDS 3
ledrect "Светодиод 2 x 5 мм";                                 finish LEDS 4

echo "Чертежи записаны в $DATA"

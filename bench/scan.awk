# The scan that wexla makes, written as a plain awk program, as a yardstick:
# a window of the last nine lines, the section-header and closing-statistics
# keys, the model heading, the WSS from characters 14 to 27 of the line eight
# above it with the best so far, and every line, cut or blank-padded to 80
# characters, written to a second file (the variable `out`).
BEGIN { best = 1e30; n = 0; if (out == "") out = "copy" }
{
  line = substr($0, 1, 80)
  w[NR % 9] = line
  if (index(line, "FINAL OUTPUT FROM Kalvor") && !index(w[(NR + 7) % 9], "MAE  =")) sections++
  printf "%-80s\n", line > out
  if (index(line, "Model and Parameter Definition")) {
    line8 = w[(NR + 1) % 9]
    if (!index(line8, "Final WSS")) { print "not a normal fit"; exit }
    wss = substr(line8, 14, 14) + 0
    if (wss < best) best = wss
    printf " The WSS(%3d ) is %14.6g , %14.6g\n", ++n, wss, best
  }
}
END { printf " %d fits in %d sections, best %g\n", n, sections, best }

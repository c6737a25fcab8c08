# Time against product keys per release, both axes logarithmic; a straight
# line of slope 1 is linear cost. Set data and out with -e.
set terminal pngcairo size 900,600 noenhanced
set output out
set logscale xy
set xlabel "product keys per release"
set ylabel "seconds"
set key top left
set grid
set title "Skerrow: time against product keys"
plot for [i=0:5] data index i using 1:2 with linespoints title columnheader(1)

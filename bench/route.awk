# The assort job in awk, for the benchmark: the rule table read from the same
# rule file, the routing value looked up ignoring case, each line printed to
# the end of its destination file. Run with LC_ALL=C, -v rules=FILE, on input
# whose lines end in CR LF: the CR stays in $0, so every line goes out with
# CR LF, as the program writes it. Fields are split at commas only, which the
# benchmark's input makes the same as the program's splitting up to the value;
# a value in double quotes loses them.
BEGIN {
    FS = ","
    column = 0
    base = ""
    other = "Default.csv"
    while ((getline entry < rules) > 0) {
        sub(/\r$/, "", entry)
        if (entry ~ /^ColumnNo=/) column = substr(entry, 10) + 0
        else if (entry ~ /^BaseDir=/) base = substr(entry, 9)
        else if (entry ~ /^Default=/) other = substr(entry, 9)
        else if (entry ~ /^[0-9][0-9][0-9]=\[.*,.*\]$/) {
            split(substr(entry, 6, length(entry) - 6), item, ",")
            key = tolower(item[1])
            if (!(key in dest)) dest[key] = item[2]
        }
    }
    close(rules)
    sub(/^[A-Za-z]:/, "", base)
    gsub(/\\/, "/", base)
    for (key in dest) dest[key] = base "/" dest[key]
    other = base "/" other
}
{
    value = $column
    if (value ~ /^".*"$/) value = substr(value, 2, length(value) - 2)  # a quoted field, as in KEN_ALL.CSV
    value = tolower(value)
    file = (value in dest) ? dest[value] : other
    print >> file
    count[file]++
}
END {
    print NR " lines"
    for (file in count) print file " " count[file]
}

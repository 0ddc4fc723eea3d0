# The feeds a real build writes, read with Debian's feedparser (the Atom and
# RSS files) and checked against JSON Feed 1.1 (feed.json): addresses, full
# content, tag feeds, drafts and scheduled posts.
add_test(NAME feeds
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/feeds_test.py
                 --tarn ${CMAKE_BINARY_DIR}/tarn)
set_tests_properties(feeds PROPERTIES TIMEOUT 300 LABELS e2e)

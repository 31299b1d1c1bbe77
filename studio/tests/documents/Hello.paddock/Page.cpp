// A page the studio tests run
SAY hello from the page
WARN a word on standard error
SAY second line
PASS Well done: the page printed its greeting.

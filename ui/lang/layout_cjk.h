// Progress window layout for the Chinese texts: a point larger, with wider labels.
#define PROGRESS_WIDTH 266
#define PROGRESS_FONT_SIZE 9
#define PROGRESS_FONT "Tahoma"
#define LINE_WIDTH 253
#define STEP_WIDTH 163
#define LABEL_WIDTH 80
#define VALUE_X 106
#define VALUE_WIDTH 88

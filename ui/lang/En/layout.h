// Progress window layout for the English texts.
#define PROGRESS_WIDTH 266
#define PROGRESS_FONT_SIZE 8
#define PROGRESS_FONT "Tahoma"
#define LINE_WIDTH 253
#define STEP_WIDTH 163
#define LABEL_WIDTH 73
#define VALUE_X 98
#define VALUE_WIDTH 88

// Progress window layout for the Korean texts.
#define PROGRESS_WIDTH 230
#define PROGRESS_FONT_SIZE 10
#define PROGRESS_FONT "Tahoma"
#define LINE_WIDTH 217
#define STEP_WIDTH 163
#define LABEL_WIDTH 73
#define VALUE_X 98
#define VALUE_WIDTH 88

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>UFM</name>
    <message>
        <source>BACK_TEXT</source>
        <extracomment>Back</extracomment>
        <translation>Back</translation>
    </message>
    <message>
        <source>CANCEL_TEXT</source>
        <extracomment>Cancel</extracomment>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>CHANGES_WILL_BE_LOST_ARE_YOU_SURE</source>
        <extracomment>Your changes will be lost. Are you sure</extracomment>
        <translation>Your changes will be lost. Are you sure?</translation>
    </message>
    <message>
        <source>CHOOSE_LINK_TYPE</source>
        <extracomment>Choose a link type</extracomment>
        <translation>Choose a link type</translation>
    </message>
    <message>
        <source>COMPRESSING_VIDEO_X_OF_Y</source>
        <extracomment>status line while videos are compressed: %1 = number of the current video, %2 = number of videos</extracomment>
        <translation>Compressing video %1 of %2</translation>
    </message>
    <message>
        <source>COMPRESSING_WITH_ELIPSES</source>
        <extracomment>Compressing</extracomment>
        <translation>Compressing…</translation>
    </message>
    <message>
        <source>COPY_TESSARINE_ADDRESS_TEXT</source>
        <extracomment>Copy Tessarine Address</extracomment>
        <translation>Copy Tessarine Address</translation>
    </message>
    <message>
        <source>DELETE_TEXT</source>
        <extracomment>Delete</extracomment>
        <translation>Delete</translation>
    </message>
    <message>
        <source>DELETION_WILL_UNPUBLISH_AND_REMOVE_FROM_DEVICE</source>
        <extracomment>Deleting this Tessarine will unpublish it and remove it from this computer</extracomment>
        <translation>Deleting this Tessarine will unpublish it and remove it from this computer.</translation>
    </message>
    <message>
        <source>DESCRIPTION_TEXT</source>
        <extracomment>Description</extracomment>
        <translation>Description</translation>
    </message>
    <message>
        <source>DISPLAY_NAME_TEXT</source>
        <extracomment>Display Name</extracomment>
        <translation>Display Name</translation>
    </message>
    <message>
        <source>DUPLICATE_TEXT</source>
        <extracomment>Duplicate</extracomment>
        <translation>Duplicate</translation>
    </message>
    <message>
        <source>ERROR_TEXT</source>
        <extracomment>Error</extracomment>
        <translation>Error</translation>
    </message>
    <message>
        <source>FINALIZING_TEXT</source>
        <extracomment>Finalizing</extracomment>
        <translation>Finalizing…</translation>
    </message>
    <message>
        <source>FORGOT_PASSWORD_TEXT</source>
        <extracomment>Forgot your password</extracomment>
        <translation>Forgot your password?</translation>
    </message>
    <message>
        <source>JUST_CREATED_SOMETHING_AT_SOMEWHERE_ON_TESSARINE</source>
        <extracomment>share message for your own presentation: %1 = its title, %2 = its share link</extracomment>
        <translation>I just created “%1” at %2 on Tessarine</translation>
    </message>
    <message>
        <source>JUST_FOUND_SOMETHING_AT_SOMEWHERE_ON_TESSARINE</source>
        <extracomment>share message for another person's presentation: %1 = its title, %2 = its share link</extracomment>
        <translation>I just found “%1” at %2 on Tessarine</translation>
    </message>
    <message>
        <source>LAST_MODIFIED_TEXT</source>
        <extracomment>Last modified</extracomment>
        <translation>Last modified</translation>
    </message>
    <message>
        <source>LINK_TO_SCREEN_TEXT</source>
        <extracomment>Link to Screen</extracomment>
        <translation>Link to Screen</translation>
    </message>
    <message>
        <source>LOGOUT_TEXT</source>
        <extracomment>logout text</extracomment>
        <translation>Log Out</translation>
    </message>
    <message>
        <source>MY_TESSARINES_TEXT</source>
        <extracomment>My Tessarines</extracomment>
        <translation>My Tessarines</translation>
    </message>
    <message>
        <source>NEXT_TEXT</source>
        <extracomment>Next</extracomment>
        <translation>Next</translation>
    </message>
    <message>
        <source>OK_TEXT</source>
        <extracomment>OK</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>PASSWORD_TEXT</source>
        <extracomment>Password</extracomment>
        <translation>Password</translation>
    </message>
    <message>
        <source>POSTING_TESSARINE_TO_SOMEWHERE</source>
        <extracomment>publishing headline: %1 = the presentation's address, or the text for the web</extracomment>
        <translation>Posting your Tessarine to %1…</translation>
    </message>
    <message>
        <source>QUEUED_FOR_COMPRESSION</source>
        <extracomment>Queued for compression</extracomment>
        <translation>Queued for compression</translation>
    </message>
    <message>
        <source>SAVING_DRAFT_TO_CLOUD</source>
        <extracomment>Saving draft to the cloud</extracomment>
        <translation>Saving draft to the cloud…</translation>
    </message>
    <message>
        <source>SHARE_TEXT</source>
        <extracomment>Share</extracomment>
        <translation>Share</translation>
    </message>
    <message>
        <source>SUCCESS_TEXT</source>
        <extracomment>Success</extracomment>
        <translation>Success</translation>
    </message>
    <message>
        <source>THE_WEB_TEXT</source>
        <extracomment>stands for the address in the publishing headline when there is none</extracomment>
        <translation>the web</translation>
    </message>
    <message>
        <source>TITLE_TEXT</source>
        <extracomment>Title</extracomment>
        <translation>Title</translation>
    </message>
    <message>
        <source>UNABLE_TO_DOWNLOAD_MEDIA</source>
        <extracomment>Unable to download media</extracomment>
        <translation>Unable to download media.</translation>
    </message>
    <message>
        <source>UNTITLED_TEXT</source>
        <extracomment>Untitled</extracomment>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>UPLOADING_X_OF_Y</source>
        <extracomment>status line while files upload: %1 = number of the current file, %2 = number of files</extracomment>
        <translation>Uploading %1 of %2</translation>
    </message>
    <message>
        <source>SYNCTOCLOUD</source>
        <extracomment>sync to cloud</extracomment>
        <translation>Sync to Cloud</translation>
    </message>
    <message>
        <source>SETTINGS</source>
        <extracomment>settings</extracomment>
        <translation>Settings</translation>
    </message>
    <message>
        <source>HELP</source>
        <extracomment>help text</extracomment>
        <translation>Help</translation>
    </message>
    <message>
        <source>SENDFEEDBACK</source>
        <extracomment>send feedback</extracomment>
        <translation>Send Feedback</translation>
    </message>
    <message>
        <source>CREATETESSARINE</source>
        <extracomment>create your tessarine</extracomment>
        <translation>Create Your Tessarine</translation>
    </message>
    <message>
        <source>VISITTESSARINE</source>
        <extracomment>visit tessarine</extracomment>
        <translation>Visit Tessarine</translation>
    </message>
    <message>
        <source>MONTHLYUSAGE</source>
        <extracomment>monthly usage</extracomment>
        <translation>Monthly Usage</translation>
    </message>
    <message>
        <source>DATASTATS</source>
        <extracomment>data stats</extracomment>
        <translation>%1 of %2 used</translation>
    </message>
    <message>
        <source>THANKS_FOR_PROVIDING_FEEDBACK</source>
        <extracomment>Thanks for your feedback</extracomment>
        <translation>Thanks for your feedback!</translation>
    </message>
    <message>
        <source>ERROR_TRYING_TO_SEND_FEEDBACK</source>
        <extracomment>There was an error sending your feedback. Please try again</extracomment>
        <translation>There was an error sending your feedback. Please try again.</translation>
    </message>
    <message>
        <source>PICK_FONT_TEXT</source>
        <extracomment>Pick a Font</extracomment>
        <translation>Pick a Font</translation>
    </message>
    <message>
        <source>CHOOSE_ONE_OF_OUR_TEMPLATES</source>
        <extracomment>Choose one of our templates</extracomment>
        <translation>Choose one of our templates</translation>
    </message>
    <message>
        <source>LOADING_TEMPLATES_TEXT</source>
        <extracomment>Loading templates</extracomment>
        <translation>Loading templates…</translation>
    </message>
    <message>
        <source>ERROR_RETRIEVING_THEMES_TEXT</source>
        <extracomment>There was an error retrieving the templates</extracomment>
        <translation>There was an error retrieving the templates.</translation>
    </message>
    <message>
        <source>LOADING_TEMPLATE_TEXT</source>
        <extracomment>Loading template</extracomment>
        <translation>Loading template…</translation>
    </message>
    <message>
        <source>LOADING_TEMPLATE_PREVIEW_TEXT</source>
        <extracomment>Loading template preview</extracomment>
        <translation>Loading template preview…</translation>
    </message>
    <message>
        <source>DAY_TEXT</source>
        <extracomment>day</extracomment>
        <translation>day</translation>
    </message>
    <message>
        <source>DAYS_TEXT</source>
        <extracomment>days</extracomment>
        <translation>days</translation>
    </message>
    <message>
        <source>HOUR_TEXT</source>
        <extracomment>hour</extracomment>
        <translation>hour</translation>
    </message>
    <message>
        <source>HOURS_TEXT</source>
        <extracomment>hours</extracomment>
        <translation>hours</translation>
    </message>
    <message>
        <source>SKIPPING_COMPRESSION_TEXT</source>
        <extracomment>skpping compression</extracomment>
        <translation>Skipping compression:</translation>
    </message>
    <message>
        <source>VIDEO_ALREADY_OPTIMIZED</source>
        <extracomment>video already optimized</extracomment>
        <translation>the video is already optimized.</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_TEXT_MODIFICATION_TAG</source>
        <extracomment>Text Change</extracomment>
        <translation>Text Change</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_SET_WEB_LINK_TAG</source>
        <extracomment>Set Web Link</extracomment>
        <translation>Set Web Link</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_SET_SCREEN_LINK_TAG</source>
        <extracomment>Set Screen Link</extracomment>
        <translation>Set Screen Link</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_PAN_AND_ZOOM_TAG</source>
        <extracomment>Pan and Zoom</extracomment>
        <translation>Pan and Zoom</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_CHANGES_TO_GALLERY_TAG</source>
        <extracomment>Gallery Changes</extracomment>
        <translation>Gallery Changes</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_CREATE_GALLERY_TAG</source>
        <extracomment>Create Gallery</extracomment>
        <translation>Create Gallery</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_PREVIEW_IMAGE_CHANGE_TAG</source>
        <extracomment>Change Preview Image</extracomment>
        <translation>Change Preview Image</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_CLEAR_MEDIA_TAG</source>
        <extracomment>Clear Media</extracomment>
        <translation>Clear Media</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_ADD_MEDIA_TAG</source>
        <extracomment>Add Media</extracomment>
        <translation>Add Media</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_SEND_TO_BACK_TAG</source>
        <extracomment>Send to Back</extracomment>
        <translation>Send to Back</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_MAKE_FULLSCREEN_TAG</source>
        <extracomment>Make Full Screen</extracomment>
        <translation>Make Full Screen</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_BRING_TO_FRONT_TAG</source>
        <extracomment>Bring to Front</extracomment>
        <translation>Bring to Front</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_ADD_OBJECT_TAG</source>
        <extracomment>Add Object</extracomment>
        <translation>Add Object</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_DELETE_OBJECT_TAG</source>
        <extracomment>Delete Object</extracomment>
        <translation>Delete Object</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_DUPLICATE_OBJECT_TAG</source>
        <extracomment>Duplicate Object</extracomment>
        <translation>Duplicate Object</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_RESIZE_OBJECT_TAG</source>
        <extracomment>Resize Object</extracomment>
        <translation>Resize Object</translation>
    </message>
    <message>
        <source>UNDO_MANAGER_MOVE_OBJECT_TAG</source>
        <extracomment>Move Object</extracomment>
        <translation>Move Object</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_TEXT</source>
        <extracomment>Text</extracomment>
        <translation>Text</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_IMAGE</source>
        <extracomment>Image</extracomment>
        <translation>Image</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_IMAGE_EDIT</source>
        <extracomment>Edit Image</extracomment>
        <translation>Edit Image</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_VIDEO</source>
        <extracomment>Video</extracomment>
        <translation>Video</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_VIDEO_EDIT</source>
        <extracomment>Edit Video</extracomment>
        <translation>Edit Video</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_GALLERY</source>
        <extracomment>Gallery</extracomment>
        <translation>Gallery</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_GALLERY_EDIT</source>
        <extracomment>Edit Gallery</extracomment>
        <translation>Edit Gallery</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_PDF</source>
        <extracomment>PDF</extracomment>
        <translation>PDF</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_PDF_EDIT</source>
        <extracomment>Edit PDF</extracomment>
        <translation>Edit PDF</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_AUDIO</source>
        <extracomment>Audio</extracomment>
        <translation>Audio</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_AUDIO_EDIT</source>
        <extracomment>Edit Audio</extracomment>
        <translation>Edit Audio</translation>
    </message>
    <message>
        <source>LOGOUT_NOW_TEXT</source>
        <extracomment>Log Out Now</extracomment>
        <translation>Log Out Now</translation>
    </message>
    <message>
        <source>LIBRARY_TEXT</source>
        <extracomment>Library</extracomment>
        <translation>Library</translation>
    </message>
    <message>
        <source>CATALOG_TEXT</source>
        <extracomment>Catalog</extracomment>
        <translation>Catalog</translation>
    </message>
    <message>
        <source>FEED_TEXT</source>
        <extracomment>Feed</extracomment>
        <translation>Feed</translation>
    </message>
    <message>
        <source>DEFAULT_ENTERPRISE_GROUP_TEXT</source>
        <extracomment>My Group</extracomment>
        <translation>My Group</translation>
    </message>
    <message>
        <source>START_FROM_SCRATCH</source>
        <extracomment>Start from Scratch</extracomment>
        <translation>Start from Scratch</translation>
    </message>
    <message>
        <source>CREATE_A_TESSARINE_TEXT</source>
        <extracomment>Create a Tessarine</extracomment>
        <translation>Create a Tessarine</translation>
    </message>
    <message>
        <source>EDIT_YOUR_TESSARINE_TEXT</source>
        <extracomment>Edit Your Tessarine</extracomment>
        <translation>Edit Your Tessarine</translation>
    </message>
    <message>
        <source>CREATE_YOUR_TESSARINE_TEXT</source>
        <extracomment>Create Your Tessarine</extracomment>
        <translation>Create Your Tessarine</translation>
    </message>
    <message>
        <source>DONE_TEXT</source>
        <extracomment>done text</extracomment>
        <translation>Done</translation>
    </message>
    <message>
        <source>COULDNT_LOAD_OLD_VERSION_TEXT</source>
        <extracomment>This Tessarine was made with an older version and could not be loaded</extracomment>
        <translation>This Tessarine was made with an older version and could not be loaded.</translation>
    </message>
    <message>
        <source>EMBED_CODE_TEXT</source>
        <extracomment>Embed Code</extracomment>
        <translation>Embed Code</translation>
    </message>
    <message>
        <source>PRIVACY_SETTINGS_TEXT</source>
        <extracomment>Privacy Settings</extracomment>
        <translation>Privacy Settings</translation>
    </message>
    <message>
        <source>PRIVATE_DETAILS_TEXT</source>
        <extracomment>Only you can see this Tessarine</extracomment>
        <translation>Only you can see this Tessarine.</translation>
    </message>
    <message>
        <source>GROUP_DETAILS_TEXT</source>
        <extracomment>Only members of your group can see this Tessarine</extracomment>
        <translation>Only members of your group can see this Tessarine.</translation>
    </message>
    <message>
        <source>PUBLIC_DETAILS_TEXT</source>
        <extracomment>Anyone can find and see this Tessarine</extracomment>
        <translation>Anyone can find and see this Tessarine.</translation>
    </message>
    <message>
        <source>RESTRICTED_DETAILS_TEXT</source>
        <extracomment>Only people with the link can see this Tessarine</extracomment>
        <translation>Only people with the link can see this Tessarine.</translation>
    </message>
    <message>
        <source>PASSWORD_PROTECTED_DETAILS_TEXT</source>
        <extracomment>Viewers need the password to see this Tessarine</extracomment>
        <translation>Viewers need the password to see this Tessarine.</translation>
    </message>
    <message>
        <source>GROUP_ONLY_TEXT</source>
        <extracomment>Group Only</extracomment>
        <translation>Group Only</translation>
    </message>
    <message>
        <source>PRIVATE</source>
        <extracomment>private permission setting</extracomment>
        <translation>Private</translation>
    </message>
    <message>
        <source>PUBLIC_EVERYONE_TEXT</source>
        <extracomment>Public (Everyone)</extracomment>
        <translation>Public (Everyone)</translation>
    </message>
    <message>
        <source>RESTRICTED_TEXT</source>
        <extracomment>Restricted (Link Only)</extracomment>
        <translation>Restricted (Link Only)</translation>
    </message>
    <message>
        <source>PASSWORD_PROTECTED_TEXT</source>
        <extracomment>Password Protected</extracomment>
        <translation>Password Protected</translation>
    </message>
    <message>
        <source>ALLOW_REMIX_TEXT</source>
        <extracomment>Allow Remix</extracomment>
        <translation>Allow Remix</translation>
    </message>
    <message>
        <source>ENTER_PASSWORD_TEXT</source>
        <extracomment>Enter Password</extracomment>
        <translation>Enter Password</translation>
    </message>
    <message>
        <source>COMFIRM_PASSWORD_TEXT</source>
        <extracomment>confirm your password</extracomment>
        <translation>Confirm Password</translation>
    </message>
    <message>
        <source>PASSWORD_PROTECTED_FOR_NONGROUP_USERS_TEXT</source>
        <extracomment>Password protected for people outside your group</extracomment>
        <translation>Password protected for people outside your group</translation>
    </message>
    <message>
        <source>Screen_1_Main</source>
        <translation>Tessarine is designed for sharing ideas.</translation>
    </message>
    <message>
        <source>Screen_1_20_years</source>
        <extracomment>SHARING IDEAS 20 YEARS AGO.</extracomment>
        <translation>SHARING IDEAS 20 YEARS AGO.</translation>
    </message>
    <message>
        <source>Screen_1_With_Tessarine</source>
        <extracomment>SHARING IDEAS WITH TESSARINE.</extracomment>
        <translation>SHARING IDEAS WITH TESSARINE.</translation>
    </message>
    <message>
        <source>Screen_2_Main</source>
        <extracomment>Tessarine presentations live in the cloud and are made to be explored interactively.</extracomment>
        <translation>Tessarine presentations live in the cloud and are made to be explored interactively.</translation>
    </message>
    <message>
        <source>Screen_3_Main</source>
        <extracomment>To create your Tessarine, you start a great story or interesting idea that you want to share…</extracomment>
        <translation>To create your Tessarine, you start with a great story or an interesting idea that you want to share…</translation>
    </message>
    <message>
        <source>Screen_4_Main</source>
        <extracomment>Then you add photos, videos, and navigation to bring your story to life and make it fun to explore…</extracomment>
        <translation>Then you add photos, videos and navigation to bring your story to life and make it fun to explore…</translation>
    </message>
    <message>
        <source>Screen_5_Main</source>
        <extracomment>When you are ready, post your presentation to the web and you will get a short url that you can share with anyone!</extracomment>
        <translation>When you are ready, post your presentation to the web and you will get a short link that you can share with anyone!</translation>
    </message>
    <message>
        <source>Screen_6_Main</source>
        <extracomment>Then, share and present as much as you like!</extracomment>
        <translation>Then, share and present as much as you like!</translation>
    </message>
    <message>
        <source>PASSWORD_REQUIRED_TEXT</source>
        <extracomment>Password Required</extracomment>
        <translation>Password Required</translation>
    </message>
    <message>
        <source>PLEASE_ENTER_PASSWORD_TO_CONTINUE_TEXT</source>
        <extracomment>Please enter the password to continue</extracomment>
        <translation>Please enter the password to continue.</translation>
    </message>
    <message>
        <source>PASSWORD_WAS_INCORRECT_TEXT</source>
        <extracomment>The password was incorrect</extracomment>
        <translation>The password was incorrect.</translation>
    </message>
    <message>
        <source>LAUNCH_TEXT</source>
        <extracomment>Launch</extracomment>
        <translation>Launch</translation>
    </message>
    <message>
        <source>REMIX_DETAILS_TEXT</source>
        <extracomment>Others may save a copy of this Tessarine and change it</extracomment>
        <translation>Others may save a copy of this Tessarine and change it.</translation>
    </message>
    <message>
        <source>GET_STARTED_TEXT</source>
        <extracomment>Get Started</extracomment>
        <translation>Get Started</translation>
    </message>
    <message>
        <source>SIGN_IN_TEXT</source>
        <extracomment>Sign In</extracomment>
        <translation>Sign In</translation>
    </message>
    <message>
        <source>TEXT_TEXT</source>
        <extracomment>Text</extracomment>
        <translation>Text</translation>
    </message>
    <message>
        <source>BACKGROUND_TEXT</source>
        <extracomment>Background</extracomment>
        <translation>Background</translation>
    </message>
    <message>
        <source>EXIT_PREVIEW_TEXT</source>
        <extracomment>Exit Preview</extracomment>
        <translation>Exit Preview</translation>
    </message>
    <message>
        <source>ERROR_DOWNLOADING_TESSARINE</source>
        <extracomment>There was an error downloading this Tessarine</extracomment>
        <translation>There was an error downloading this Tessarine.</translation>
    </message>
    <message>
        <source>ERROR_DOWNLOADING_TESSARINE_ALIAS</source>
        <extracomment>There was an error downloading the Tessarine at this address</extracomment>
        <translation>There was an error downloading the Tessarine at this address.</translation>
    </message>
    <message>
        <source>FETCHING_TESSARINE_TEXT</source>
        <extracomment>Fetching Tessarine</extracomment>
        <translation>Fetching Tessarine…</translation>
    </message>
    <message>
        <source>DELETE_SCREEN_CONFIRMATION_QUESTION</source>
        <extracomment>Are you sure you want to delete this screen</extracomment>
        <translation>Are you sure you want to delete this screen?</translation>
    </message>
    <message>
        <source>HOW_TO_HIDE_PREVIEW_CONTROLS_TEXT</source>
        <extracomment>Move the pointer away to hide the preview controls</extracomment>
        <translation>Move the pointer away to hide the preview controls.</translation>
    </message>
    <message>
        <source>DONT_SHOW_AGAIN_TEXT</source>
        <extracomment>Don’t show this again</extracomment>
        <translation>Don’t show this again</translation>
    </message>
    <message>
        <source>PLEASE_WAIT_FOR_COMPRESSION_TO_COMPLETE_TEXT</source>
        <extracomment>Please wait for video compression to complete</extracomment>
        <translation>Please wait for video compression to complete.</translation>
    </message>
    <message>
        <source>RESET_TEXT</source>
        <extracomment>Reset</extracomment>
        <translation>Reset</translation>
    </message>
    <message>
        <source>EXPORT_TEXT</source>
        <extracomment>Export</extracomment>
        <translation>Export</translation>
    </message>
    <message>
        <source>CHANGE_VIDEO</source>
        <translation>Change Video</translation>
    </message>
    <message>
        <source>CHANGE_IMAGE</source>
        <translation>Change Image</translation>
    </message>
    <message>
        <source>CHANGE_PDF</source>
        <translation>Change PDF</translation>
    </message>
    <message>
        <source>CHANGE_AUDIO</source>
        <translation>Change Audio</translation>
    </message>
    <message>
        <source>EDIT_GALLERY</source>
        <translation>Edit Gallery</translation>
    </message>
    <message>
        <source>SET_LINK</source>
        <translation>Set Link</translation>
    </message>
    <message>
        <source>SAYS_VIDEO</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>SAYS_IMAGE</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>SAYS_GALLERY</source>
        <translation>Gallery</translation>
    </message>
    <message>
        <source>SAYS_PDF</source>
        <translation>PDF</translation>
    </message>
    <message>
        <source>SAYS_MEDIA_TYPES</source>
        <translation>Media Types</translation>
    </message>
    <message>
        <source>SAVED_TEXT</source>
        <extracomment>Saved</extracomment>
        <translation>Saved</translation>
    </message>
    <message>
        <source>POST_TEXT</source>
        <extracomment>Post</extracomment>
        <translation>Post</translation>
    </message>
    <message>
        <source>POSTED_TEXT</source>
        <extracomment>Posted</extracomment>
        <translation>Posted</translation>
    </message>
    <message>
        <source>PRINT_TEXT</source>
        <extracomment>Print</extracomment>
        <translation>Print</translation>
    </message>
    <message>
        <source>POST_MY_TESSARINE</source>
        <extracomment>Post My Tessarine</extracomment>
        <translation>Post My Tessarine</translation>
    </message>
    <message>
        <source>TESSARINE_PASS_PROTECTED_PLEASE_LOG_IN_TEXT</source>
        <extracomment>This Tessarine is protected. Please sign in to see it</extracomment>
        <translation>This Tessarine is protected. Please sign in to see it.</translation>
    </message>
    <message>
        <source>SAYS_TRANSITION</source>
        <translation>Transition</translation>
    </message>
    <message>
        <source>SAYS_CHOOSE_TRANSITION</source>
        <translation>Choose a Transition</translation>
    </message>
    <message>
        <source>NEXT_MONTHLY_QUOTA_AVAILABLE_IN_FORMAT</source>
        <extracomment>Next monthly quota available in %</extracomment>
        <translation>Next monthly quota available in %1</translation>
    </message>
    <message>
        <source>PDF_GENERATION_COMPLETE</source>
        <extracomment>PDF generation complete</extracomment>
        <translation>PDF generation complete.</translation>
    </message>
    <message>
        <source>kScreenLinkTransitionTypeName_None</source>
        <extracomment>None</extracomment>
        <translation>None</translation>
    </message>
    <message>
        <source>kScreenLinkTransitionTypeName_FlowToScreen</source>
        <extracomment>Flow To Screen</extracomment>
        <translation>Flow To Screen</translation>
    </message>
    <message>
        <source>kScreenLinkTransitionTypeName_FadeIn</source>
        <extracomment>Fade In</extracomment>
        <translation>Fade In</translation>
    </message>
    <message>
        <source>kScreenLinkTransitionTypeName_SlideIn</source>
        <extracomment>Slide In</extracomment>
        <translation>Slide In</translation>
    </message>
    <message>
        <source>UPDATING_TEXT</source>
        <extracomment>Updating</extracomment>
        <translation>Updating…</translation>
    </message>
    <message>
        <source>THERE_WERE_CONFLICTING_CHANGES_TEXT</source>
        <extracomment>There were conflicting changes from %</extracomment>
        <translation>There were conflicting changes from %1</translation>
    </message>
    <message>
        <source>ANOTHER_DEVICE_TEXT</source>
        <extracomment>another device</extracomment>
        <translation>another device</translation>
    </message>
    <message>
        <source>KEEP_LOCAL_CHANGES_TEXT</source>
        <extracomment>Keep Changes on This Computer</extracomment>
        <translation>Keep Changes on This Computer</translation>
    </message>
    <message>
        <source>KEEP_LOCAL_CHANGES_DETAILS_TEXT</source>
        <extracomment>The version on this computer replaces the saved one</extracomment>
        <translation>The version on this computer replaces the saved one.</translation>
    </message>
    <message>
        <source>KEEP_REMOTE_CHANGES_TEXT</source>
        <extracomment>Keep Saved Changes</extracomment>
        <translation>Keep Saved Changes</translation>
    </message>
    <message>
        <source>UPDATED_AT_TEXT</source>
        <extracomment>Updated at</extracomment>
        <translation>Updated at</translation>
    </message>
    <message>
        <source>TEAM_TESSARINE_TEXT</source>
        <extracomment>Team Tessarine</extracomment>
        <translation>Team Tessarine</translation>
    </message>
    <message>
        <source>COMMENTS_LOAD_ERROR</source>
        <extracomment>Comments could not be loaded</extracomment>
        <translation>Comments could not be loaded.</translation>
    </message>
    <message>
        <source>RICH_TEXT_FORMATTING_LOST</source>
        <extracomment>Rich text formatting will be lost</extracomment>
        <translation>Rich text formatting will be lost.</translation>
    </message>
    <message>
        <source>IPAD_DOESNT_SUPPORT_RICH_TEXT_WARNING</source>
        <extracomment>Tablets do not support this rich text formatting; it will be shown as plain text there</extracomment>
        <translation>Tablets do not support this rich text formatting; it will be shown as plain text there.</translation>
    </message>
    <message>
        <source>KEEP_REMOTE_CHANGES_DETAILS_TEXT</source>
        <extracomment>The saved version is downloaded as a separate document. The one on this computer is kept</extracomment>
        <translation>The saved version is downloaded as a separate document. The one on this computer is kept.</translation>
    </message>
    <message>
        <source>SAVED_COPIES_ON_OTHER_DEVICES_TEXT</source>
        <extracomment>Copies saved on other devices are not affected</extracomment>
        <translation>Copies saved on other devices are not affected.</translation>
    </message>
    <message>
        <source>IGNORE_FOR_NOW_TEXT</source>
        <extracomment>Ignore for Now</extracomment>
        <translation>Ignore for Now</translation>
    </message>
    <message>
        <source>CONTENT_TYPE_LIST_SHAPE</source>
        <extracomment>Shape</extracomment>
        <translation>Shape</translation>
    </message>
    <message>
        <source>SELECT_A_SHAPE_TEXT</source>
        <extracomment>Select a Shape</extracomment>
        <translation>Select a Shape</translation>
    </message>
    <message>
        <source>SELECT_A_COLOR_TEXT</source>
        <extracomment>Select a Color</extracomment>
        <translation>Select a Color</translation>
    </message>
    <message>
        <source>FONT_FAMILY_TEXT</source>
        <extracomment>Font Family</extracomment>
        <translation>Font Family</translation>
    </message>
    <message>
        <source>FONT_FACE_TEXT</source>
        <extracomment>Font Face</extracomment>
        <translation>Font Face</translation>
    </message>
    <message>
        <source>OPTIONAL_PASSWORD_TEXT</source>
        <extracomment>Password (optional)</extracomment>
        <translation>Password (optional)</translation>
    </message>
    <message>
        <source>VERIFY_PASSWORD_TEXT</source>
        <extracomment>Verify Password</extracomment>
        <translation>Verify Password</translation>
    </message>
    <message>
        <source>SWATCHES_TEXT</source>
        <extracomment>Swatches</extracomment>
        <translation>Swatches</translation>
    </message>
    <message>
        <source>HISTORY_TEXT</source>
        <extracomment>History</extracomment>
        <translation>History</translation>
    </message>
    <message>
        <source>CUSTOM_TEXT</source>
        <extracomment>Custom</extracomment>
        <translation>Custom</translation>
    </message>
    <message>
        <source>FILE_TOO_LARGE_TO_LOAD_TEXT</source>
        <extracomment>This file is too large to load. Please choose a file smaller than 70MB</extracomment>
        <translation>This file is too large to load. Please choose a file smaller than 70 MB.</translation>
    </message>
    <message>
        <source>CHOOSE_A_TEMPLATE</source>
        <extracomment>Choose a Template</extracomment>
        <translation>Choose a Template</translation>
    </message>
    <message>
        <source>LAUNCH_BLANK_TEXT</source>
        <extracomment>Start with a Blank Tessarine</extracomment>
        <translation>Start with a Blank Tessarine</translation>
    </message>
    <message>
        <source>CREATE_YOUR_ACCOUNT_TO_GET_STARTED</source>
        <extracomment>Create your account to get started</extracomment>
        <translation>Create your account to get started</translation>
    </message>
    <message>
        <source>FILL_IN_YOUR_DETAILS_TO_GET_STARTED</source>
        <extracomment>Fill in your details to get started</extracomment>
        <translation>Fill in your details to get started</translation>
    </message>
    <message>
        <source>JOIN_TEXT</source>
        <extracomment>Join</extracomment>
        <translation>Join</translation>
    </message>
    <message>
        <source>ADOBE_LOGGED_OUT</source>
        <extracomment>You have been signed out of Creative Cloud</extracomment>
        <translation>You have been signed out of Creative Cloud.</translation>
    </message>
    <message>
        <source>ADD_IMAGES_TO_GALLERY_BY_SELECTING_SOURCE_TEXT</source>
        <extracomment>Add images to the gallery by choosing a source</extracomment>
        <translation>Add images to the gallery by choosing a source.</translation>
    </message>
    <message>
        <source>THE_WORD_CLOUD</source>
        <extracomment>Cloud</extracomment>
        <translation>Cloud</translation>
    </message>
    <message>
        <source>FEEDBACK_TEXT</source>
        <extracomment>Feedback</extracomment>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>HOW_CAN_WE_IMPROVE_TESSARINE</source>
        <extracomment>How can we improve Tessarine</extracomment>
        <translation>How can we improve Tessarine?</translation>
    </message>
    <message>
        <source>DO_YOU_LOVE_TESSARINE</source>
        <extracomment>Do you love Tessarine</extracomment>
        <translation>Do you love Tessarine?</translation>
    </message>
    <message>
        <source>COULD_YOU_RATE_US</source>
        <extracomment>Could you rate us</extracomment>
        <translation>Could you rate us?</translation>
    </message>
    <message>
        <source>ALBUMS_TEXT</source>
        <extracomment>Albums</extracomment>
        <translation>Albums</translation>
    </message>
    <message>
        <source>COLLECTIONS_TEXT</source>
        <extracomment>Collections</extracomment>
        <translation>Collections</translation>
    </message>
    <message>
        <source>ALL_PHOTOS_TEXT</source>
        <extracomment>All Photos</extracomment>
        <translation>All Photos</translation>
    </message>
    <message>
        <source>ALL_VIDEOS_TEXT</source>
        <extracomment>All Videos</extracomment>
        <translation>All Videos</translation>
    </message>
    <message>
        <source>PHOTOS_PERMISSION_DENIED_TEXT</source>
        <extracomment>Tessarine is not allowed to read your photos</extracomment>
        <translation>Tessarine is not allowed to read your photos.</translation>
    </message>
    <message>
        <source>LINK_HAS_BEEN_SET_TEXT</source>
        <extracomment>The link has been set</extracomment>
        <translation>The link has been set.</translation>
    </message>
    <message>
        <source>TO_TEXT</source>
        <extracomment>To</extracomment>
        <translation>To</translation>
    </message>
    <message>
        <source>FROM_TEXT</source>
        <extracomment>From</extracomment>
        <translation>From</translation>
    </message>
    <message>
        <source>SEND_TEXT</source>
        <extracomment>Send</extracomment>
        <translation>Send</translation>
    </message>
    <message>
        <source>SUBJECT_TEXT</source>
        <extracomment>Subject</extracomment>
        <translation>Subject</translation>
    </message>
    <message>
        <source>LINK_TEXT</source>
        <extracomment>Link</extracomment>
        <translation>Link</translation>
    </message>
    <message>
        <source>NESTCEPTION_WITH_ID_NOT_FOUND</source>
        <extracomment>NESTCEPTION_WITH_ID_NOT_FOUND</extracomment>
        <translation>The embedded Tessarine could not be found.</translation>
    </message>
    <message>
        <source>SIGNUP_FOR_A_TESSARINE_ACCOUNT_TEXT</source>
        <extracomment>SIGNUP_FOR_A_TESSARINE_ACCOUNT_TEXT</extracomment>
        <translation>Sign up for a Tessarine account</translation>
    </message>
    <message>
        <source>SIGNUP_VIA_FACEBOOK_TEXT</source>
        <extracomment>SIGNUP_VIA_FACEBOOK_TEXT</extracomment>
        <translation>Sign up with Facebook</translation>
    </message>
    <message>
        <source>THE_WORD_COMPLETE</source>
        <translation>Complete</translation>
    </message>
    <message>
        <source>IT_LOOKS_LIKE_YOU_HAVE_NO_INTERNET</source>
        <translation>It looks like you have no internet connection.</translation>
    </message>
    <message>
        <source>THE_WORD_BY</source>
        <extracomment>by</extracomment>
        <translation>by</translation>
    </message>
    <message>
        <source>RECEIVING_TEXT</source>
        <extracomment>Receiving</extracomment>
        <translation>Receiving…</translation>
    </message>
    <message>
        <source>SIGN_OUT_TEXT</source>
        <extracomment>Sign Out</extracomment>
        <translation>Sign Out</translation>
    </message>
    <message>
        <source>ACCOUNT_TEXT</source>
        <extracomment>Account</extracomment>
        <translation>Account</translation>
    </message>
    <message>
        <source>USERNAME_TEXT</source>
        <extracomment>Username</extracomment>
        <translation>Username</translation>
    </message>
    <message>
        <source>ERROR_SIGNING_IN_TEXT</source>
        <extracomment>There was an error signing in</extracomment>
        <translation>There was an error signing in.</translation>
    </message>
    <message>
        <source>SAVING_TEXT</source>
        <extracomment>Saving</extracomment>
        <translation>Saving…</translation>
    </message>
    <message>
        <source>POSTING_TEXT</source>
        <extracomment>Posting</extracomment>
        <translation>Posting…</translation>
    </message>
    <message>
        <source>SUCCESS_EXCLAMATION_TEXT</source>
        <extracomment>Success</extracomment>
        <translation>Success!</translation>
    </message>
    <message>
        <source>TESSARINE_DETAILS_TEXT</source>
        <extracomment>Tessarine Details</extracomment>
        <translation>Tessarine Details</translation>
    </message>
    <message>
        <source>TESSARINE_TITLE_TEXT</source>
        <extracomment>Tessarine Title</extracomment>
        <translation>Tessarine Title</translation>
    </message>
    <message>
        <source>TESSARINE_DESCRIPTION_TEXT</source>
        <extracomment>Tessarine Description</extracomment>
        <translation>Tessarine Description</translation>
    </message>
    <message>
        <source>PLAY_TEXT</source>
        <extracomment>Play</extracomment>
        <translation>Play</translation>
    </message>
    <message>
        <source>DETAILS_TEXT</source>
        <extracomment>Details</extracomment>
        <translation>Details</translation>
    </message>
    <message>
        <source>SAVE_DRAFT_TEXT</source>
        <extracomment>Save Draft</extracomment>
        <translation>Save Draft</translation>
    </message>
    <message>
        <source>ADD_SCREEN_TEXT</source>
        <extracomment>Add Screen</extracomment>
        <translation>Add Screen</translation>
    </message>
    <message>
        <source>GUIDE_TEXT</source>
        <extracomment>Guide</extracomment>
        <translation>Guide</translation>
    </message>
    <message>
        <source>CHANGE_IMAGE_TEXT</source>
        <extracomment>Change Image</extracomment>
        <translation>Change Image</translation>
    </message>
    <message>
        <source>SET_LINK_TEXT</source>
        <extracomment>Set Link</extracomment>
        <translation>Set Link</translation>
    </message>
    <message>
        <source>CROP_TEXT</source>
        <extracomment>Crop</extracomment>
        <translation>Crop</translation>
    </message>
    <message>
        <source>ROTATE_TEXT</source>
        <extracomment>Rotate</extracomment>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>FORWARD_TEXT</source>
        <extracomment>Forward</extracomment>
        <translation>Forward</translation>
    </message>
    <message>
        <source>BACKWARD_TEXT</source>
        <extracomment>Backward</extracomment>
        <translation>Backward</translation>
    </message>
    <message>
        <source>SEND_TO_BACK_TEXT</source>
        <extracomment>Send to Back</extracomment>
        <translation>Send to Back</translation>
    </message>
    <message>
        <source>SEND_BACKWARD_TEXT</source>
        <extracomment>Send Backward</extracomment>
        <translation>Send Backward</translation>
    </message>
    <message>
        <source>BRING_TO_FRONT_TEXT</source>
        <extracomment>Bring to Front</extracomment>
        <translation>Bring to Front</translation>
    </message>
    <message>
        <source>BRING_FORWARD_TEXT</source>
        <extracomment>Bring Forward</extracomment>
        <translation>Bring Forward</translation>
    </message>
    <message>
        <source>LINK_TO_WEB_TEXT</source>
        <extracomment>Untitled</extracomment>
        <translation>Link to Web</translation>
    </message>
    <message>
        <source>LINK_TO_EMAIL_TEXT</source>
        <extracomment>Untitled</extracomment>
        <translation>Link to Email</translation>
    </message>
    <message>
        <source>SAYS_SLIDE_IN</source>
        <extracomment>Untitled</extracomment>
        <translation>Slide In</translation>
    </message>
    <message>
        <source>SAYS_FADE_IN</source>
        <extracomment>Untitled</extracomment>
        <translation>Fade In</translation>
    </message>
    <message>
        <source>SAYS_FLOW_TO_SCREEN</source>
        <extracomment>Untitled</extracomment>
        <translation>Flow to Screen</translation>
    </message>
    <message>
        <source>SAYS_NONE</source>
        <extracomment>Untitled</extracomment>
        <translation>None</translation>
    </message>
    <message>
        <source>SAYS_SET_SCREEN_LINK</source>
        <extracomment>Untitled</extracomment>
        <translation>Set Screen Link</translation>
    </message>
    <message>
        <source>SAYS_SELECT_TARGET_SCREEN</source>
        <extracomment>Untitled</extracomment>
        <translation>Select the target screen</translation>
    </message>
    <message>
        <source>SAYS_SELECT_TRANSITION</source>
        <extracomment>Untitled</extracomment>
        <translation>Select a transition</translation>
    </message>
    <message>
        <source>SAYS_SET_WEB_LINK</source>
        <extracomment>Untitled</extracomment>
        <translation>Set Web Link</translation>
    </message>
    <message>
        <source>SAYS_SET_EMAIL_LINK</source>
        <extracomment>Untitled</extracomment>
        <translation>Set Email Link</translation>
    </message>
    <message>
        <source>WEB_LINK_</source>
        <extracomment>Untitled</extracomment>
        <translation>Link</translation>
    </message>
    <message>
        <source>WEB_LINK_INSTRUCTIONS</source>
        <extracomment>Untitled</extracomment>
        <translation>Enter the web address to open when this object is clicked.</translation>
    </message>
    <message>
        <source>EMAIL_LINK_INSTRUCTIONS</source>
        <extracomment>Untitled</extracomment>
        <translation>Enter the email address to write to when this object is clicked.</translation>
    </message>
    <message>
        <source>SAYS_ENTER_A_WEB_URL_HERE</source>
        <extracomment>Untitled</extracomment>
        <translation>Enter a web address here</translation>
    </message>
    <message>
        <source>SAYS_ENTER_AN_EMAIL_ADDRESS_HERE</source>
        <extracomment>Untitled</extracomment>
        <translation>Enter an email address here</translation>
    </message>
    <message>
        <source>SAYS_PREVIEW</source>
        <extracomment>Untitled</extracomment>
        <translation>Preview</translation>
    </message>
    <message>
        <source>SAYS_CHOOSE</source>
        <extracomment>Untitled</extracomment>
        <translation>Choose</translation>
    </message>
    <message>
        <source>SAYS_LOADING</source>
        <extracomment>Untitled</extracomment>
        <translation>Loading…</translation>
    </message>
    <message>
        <source>SAYS_COLOR</source>
        <extracomment>Color</extracomment>
        <translation>Color</translation>
    </message>
    <message>
        <source>SAYS_ADD_A_YOUTUBE_VIDEO</source>
        <extracomment>Add a YouTube Video</extracomment>
        <translation>Add a YouTube Video</translation>
    </message>
    <message>
        <source>SAYS_ENTER_THE_URL_OF_A_YOUTUBE_VIDEO</source>
        <extracomment>Enter the address of a YouTube video</extracomment>
        <translation>Enter the address of a YouTube video</translation>
    </message>
    <message>
        <source>CHOOSE_A_SHAPE_TEXT</source>
        <extracomment>Choose a Shape</extracomment>
        <translation>Choose a Shape</translation>
    </message>
    <message>
        <source>SAYS_INSERT</source>
        <extracomment>Insert</extracomment>
        <translation>Insert</translation>
    </message>
    <message>
        <source>SAYS_REMOVE_LINK</source>
        <extracomment>Remove Link</extracomment>
        <translation>Remove Link</translation>
    </message>
    <message>
        <source>SAYS_LEFT_TEXT_ALIGN</source>
        <extracomment>Align Left</extracomment>
        <translation>Align Left</translation>
    </message>
    <message>
        <source>SAYS_CENTER_TEXT_ALIGN</source>
        <extracomment>Align Center</extracomment>
        <translation>Align Center</translation>
    </message>
    <message>
        <source>SAYS_RIGHT_TEXT_ALIGN</source>
        <extracomment>Align Right</extracomment>
        <translation>Align Right</translation>
    </message>
    <message>
        <source>SAYS_VIEW</source>
        <extracomment>View</extracomment>
        <translation>View</translation>
    </message>
    <message>
        <source>SAYS_WIDTH</source>
        <extracomment>Width</extracomment>
        <translation>Width</translation>
    </message>
    <message>
        <source>SAYS_HEIGHT</source>
        <extracomment>Height</extracomment>
        <translation>Height</translation>
    </message>
    <message>
        <source>SAYS_SCREEN</source>
        <extracomment>Screen</extracomment>
        <translation>Screen</translation>
    </message>
    <message>
        <source>SAYS_CHANGE_CANVAS_COLOR</source>
        <extracomment>Change Canvas Color</extracomment>
        <translation>Change Canvas Color</translation>
    </message>
    <message>
        <source>EXPORT_PDF_TEXT</source>
        <extracomment>Export PDF</extracomment>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>NUDGE_RIGHT_TEXT</source>
        <extracomment>Nudge Right</extracomment>
        <translation>Nudge Right</translation>
    </message>
    <message>
        <source>NUDGE_LEFT_TEXT</source>
        <extracomment>Nudge Left</extracomment>
        <translation>Nudge Left</translation>
    </message>
    <message>
        <source>NUDGE_UP_TEXT</source>
        <extracomment>Nudge Up</extracomment>
        <translation>Nudge Up</translation>
    </message>
    <message>
        <source>NUDGE_DOWN_TEXT</source>
        <extracomment>Nudge Down</extracomment>
        <translation>Nudge Down</translation>
    </message>
    <message>
        <source>SHIFT_RIGHT_TEXT</source>
        <extracomment>Shift Right</extracomment>
        <translation>Shift Right</translation>
    </message>
    <message>
        <source>SHIFT_LEFT_TEXT</source>
        <extracomment>Shift Left</extracomment>
        <translation>Shift Left</translation>
    </message>
    <message>
        <source>SHIFT_UP_TEXT</source>
        <extracomment>Shift Up</extracomment>
        <translation>Shift Up</translation>
    </message>
    <message>
        <source>SHIFT_DOWN_TEXT</source>
        <extracomment>Shift Down</extracomment>
        <translation>Shift Down</translation>
    </message>
    <message>
        <source>MOVE_TEXT</source>
        <extracomment>Move</extracomment>
        <translation>Move</translation>
    </message>
    <message>
        <source>SAYS_ZOOM</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>SAYS_FIT_TO_SCREEN</source>
        <translation>Fit to Screen</translation>
    </message>
    <message>
        <source>LAST_POSTED_TEXT</source>
        <translation>Last posted</translation>
    </message>
    <message>
        <source>NO_TESSARINES_CLICK_TO_CREATE_TEXT</source>
        <extracomment>You have no Tessarines yet. Click here to create one</extracomment>
        <translation>You have no Tessarines yet. Click here to create one.</translation>
    </message>
    <message>
        <source>SHOW_DIMENSIONS_PALETTE_TEXT</source>
        <extracomment>Show Dimensions Palette</extracomment>
        <translation>Show Dimensions Palette</translation>
    </message>
    <message>
        <source>HIDE_DIMENSIONS_PALETTE_TEXT</source>
        <extracomment>Hide Dimensions Palette</extracomment>
        <translation>Hide Dimensions Palette</translation>
    </message>
    <message>
        <source>SAYS_INSERT_TEXT</source>
        <extracomment>Insert Text</extracomment>
        <translation>Insert Text</translation>
    </message>
    <message>
        <source>SAYS_CLICK_TO_EDIT_TEXT</source>
        <extracomment>Click to Edit Text</extracomment>
        <translation>Click to Edit Text</translation>
    </message>
    <message>
        <source>SAYS_PASTE</source>
        <extracomment>Paste</extracomment>
        <translation>Paste</translation>
    </message>
    <message>
        <source>SAYS_CUT</source>
        <extracomment>Cut</extracomment>
        <translation>Cut</translation>
    </message>
    <message>
        <source>SAYS_COPY</source>
        <extracomment>Copy</extracomment>
        <translation>Copy</translation>
    </message>
    <message>
        <source>FIRSTLAUNCH_WINDOW_LABEL_TEXT</source>
        <extracomment>Welcome to Tessarine</extracomment>
        <translation>Welcome to Tessarine</translation>
    </message>
    <message>
        <source>DOCK_POPOVER_TOOL_TIP</source>
        <extracomment>DOCK_POPOVER_TOOL_TIP</extracomment>
        <translation>Dock this toolbar</translation>
    </message>
    <message>
        <source>DOCK_POPOVER_TOOL_TIP_DOCKED</source>
        <extracomment>DOCK_POPOVER_TOOL_TIP_DOCKED</extracomment>
        <translation>Undock this toolbar</translation>
    </message>
    <message>
        <source>SAYS_CLOSE</source>
        <extracomment>Close</extracomment>
        <translation>Close</translation>
    </message>
    <message>
        <source>SHARE_YOUR_TESSARINE_TEXT</source>
        <extracomment>Share Your Tessarine</extracomment>
        <translation>Share Your Tessarine</translation>
    </message>
    <message>
        <source>TITLE_YOUR_TESSARINE_TEXT</source>
        <extracomment>Title your Tessarine</extracomment>
        <translation>Title your Tessarine</translation>
    </message>
    <message>
        <source>ENTER_TEXT_THAT_DESCRIBES_YOUR_TESSARINE_TEXT</source>
        <extracomment>Enter text that describes your Tessarine</extracomment>
        <translation>Enter text that describes your Tessarine</translation>
    </message>
    <message>
        <source>PRIVACY_TEXT</source>
        <extracomment>Privacy</extracomment>
        <translation>Privacy</translation>
    </message>
    <message>
        <source>TESSARINE_POSTED_TEXT</source>
        <extracomment>Your Tessarine Has Been Posted</extracomment>
        <translation>Your Tessarine Has Been Posted</translation>
    </message>
    <message>
        <source>COPY_TESSARINE_EMBEDCODE_TEXT</source>
        <extracomment>Copy Embed Code</extracomment>
        <translation>Copy Embed Code</translation>
    </message>
    <message>
        <source>EMAIL_TEXT</source>
        <extracomment>Email</extracomment>
        <translation>Email</translation>
    </message>
    <message>
        <source>JUST_CREATED_SOMETHING_AT_SOMEWHERE_ON_TESSARINE_EMAIL</source>
        <extracomment>HTML body of the share e-mail for your own presentation: I just created %1 (the title, in quotation marks) at %2 (the share link), then a link to the Tessarine website naming the product and its platforms</extracomment>
        <translation>I just created “%1” at &lt;a href="%2"&gt;%2&lt;/a&gt;.&lt;br&gt;&lt;br&gt;Made with &lt;a href="https://www.tessarine.com"&gt;Tessarine for desktop and tablet&lt;/a&gt;.</translation>
    </message>
    <message>
        <source>JUST_FOUND_SOMETHING_AT_SOMEWHERE_ON_TESSARINE_EMAIL</source>
        <extracomment>HTML body of the share e-mail for another person's presentation: I just found %1 (the title, in quotation marks) at %2 (the share link), then a link to the Tessarine website naming the product and its platforms</extracomment>
        <translation>I just found “%1” at &lt;a href="%2"&gt;%2&lt;/a&gt;.&lt;br&gt;&lt;br&gt;Made with &lt;a href="https://www.tessarine.com"&gt;Tessarine for desktop and tablet&lt;/a&gt;.</translation>
    </message>
    <message>
        <source>SAVE_COPY_TO_MY_TESSARINES</source>
        <extracomment>SAVE_COPY_TO_MY_TESSARINES</extracomment>
        <translation>Save a Copy to My Tessarines</translation>
    </message>
    <message>
        <source>EXPLAIN_SHARE</source>
        <extracomment>EXPLAIN_SHARE</extracomment>
        <translation>Share this Tessarine</translation>
    </message>
    <message>
        <source>ENTER_URL_OR_STRINGID_TEXT</source>
        <extracomment>Enter a Tessarine address or ID</extracomment>
        <translation>Enter a Tessarine address or ID</translation>
    </message>
    <message>
        <source>OPEN_URL_TEXT</source>
        <extracomment>Open Address</extracomment>
        <translation>Open Address</translation>
    </message>
    <message>
        <source>TESSARINE_NOT_POSTED_TEXT</source>
        <extracomment>This Tessarine has not been posted</extracomment>
        <translation>This Tessarine has not been posted.</translation>
    </message>
    <message>
        <source>YOU_NEED_TO_SIGN_IN_TEXT</source>
        <extracomment>You need to sign in</extracomment>
        <translation>You need to sign in.</translation>
    </message>
    <message>
        <source>LOGIN_VIA_FACEBOOK_TEXT</source>
        <extracomment>Sign in with Facebook</extracomment>
        <translation>Sign in with Facebook</translation>
    </message>
    <message>
        <source>THE_WORD_OR</source>
        <extracomment>or</extracomment>
        <translation>or</translation>
    </message>
    <message>
        <source>LOGIN_TEXT</source>
        <extracomment>Log In</extracomment>
        <translation>Log In</translation>
    </message>
    <message>
        <source>SIGNUP_TEXT</source>
        <extracomment>Sign Up</extracomment>
        <translation>Sign Up</translation>
    </message>
    <message>
        <source>ALREADY_HAVE_AN_ACCOUNT_TEXT</source>
        <extracomment>Already have an account</extracomment>
        <translation>Already have an account?</translation>
    </message>
    <message>
        <source>CREATE_NEW_ACCOUNT_TEXT</source>
        <extracomment>Create a New Account</extracomment>
        <translation>Create a New Account</translation>
    </message>
    <message>
        <source>NOT_REGISTERED_TEXT</source>
        <extracomment>Not registered yet</extracomment>
        <translation>Not registered yet?</translation>
    </message>
    <message>
        <source>ALREADY_REGISTERED_SIGN_IN_TEXT</source>
        <extracomment>Already registered? Sign in</extracomment>
        <translation>Already registered? Sign in</translation>
    </message>
    <message>
        <source>SUCCESSFULLY_SIGNED_IN_TEXT</source>
        <extracomment>You are signed in</extracomment>
        <translation>You are signed in.</translation>
    </message>
    <message>
        <source>SAYS_CLEAR_LINK</source>
        <translation>Clear Link</translation>
    </message>
    <message>
        <source>SIGN_OUT_NOW</source>
        <extracomment>Sign out now</extracomment>
        <translation>Sign Out Now</translation>
    </message>
    <message>
        <source>SAVING_YOUR_TESSARINES_TEXT</source>
        <extracomment>Saving your Tessarines</extracomment>
        <translation>Saving your Tessarines…</translation>
    </message>
    <message>
        <source>SAYS_EDIT_GALLERY</source>
        <translation>Edit Gallery</translation>
    </message>
    <message>
        <source>SAYS_CHOOSE_IMAGES</source>
        <translation>Choose Images</translation>
    </message>
    <message>
        <source>SAYS_SEND_FEEDBACK</source>
        <extracomment>Send Feedback</extracomment>
        <translation>Send Feedback</translation>
    </message>
    <message>
        <source>SAYS_TESSARINE_GUIDE</source>
        <extracomment>Tessarine Guide</extracomment>
        <translation>Tessarine Guide</translation>
    </message>
    <message>
        <source>GUIDES_NONE_LISTED</source>
        <extracomment>the guide panel when the service lists no guide</extracomment>
        <translation>There are no guides to show yet.</translation>
    </message>
    <message>
        <source>SAYS_TESSARINE_FAQ</source>
        <extracomment>Tessarine FAQ</extracomment>
        <translation>Tessarine FAQ</translation>
    </message>
    <message>
        <source>SAYS_VISIT_TESSARINE_WEBSITE</source>
        <extracomment>Visit the Tessarine Website</extracomment>
        <translation>Visit the Tessarine Website</translation>
    </message>
    <message>
        <source>SAYS_DISABLE_SNAP_GUIDES</source>
        <extracomment>Disable Snap Guides</extracomment>
        <translation>Disable Snap Guides</translation>
    </message>
    <message>
        <source>SAYS_ENABLE_SNAP_GUIDES</source>
        <extracomment>Enable Snap Guides</extracomment>
        <translation>Enable Snap Guides</translation>
    </message>
    <message>
        <source>SAYS_EDIT_PROFILE</source>
        <extracomment>Edit Profile</extracomment>
        <translation>Edit Profile</translation>
    </message>
    <message>
        <source>SAYS_UPLOAD_ALLOWANCE</source>
        <extracomment>Upload allowance</extracomment>
        <translation>Upload allowance</translation>
    </message>
    <message>
        <source>SAYS_X_REMAINING_OF_Y</source>
        <extracomment>x remaining of y</extracomment>
        <translation>%1 remaining of %2</translation>
    </message>
    <message>
        <source>SAYS_NEXT_MONTHLY_QUOTA</source>
        <extracomment>Next monthly quota in</extracomment>
        <translation>Next monthly quota in</translation>
    </message>
    <message>
        <source>OPENING_TEXT</source>
        <extracomment>Opening</extracomment>
        <translation>Opening…</translation>
    </message>
    <message>
        <source>SKIP_FOR_NOW_TEXT</source>
        <translation>Skip for Now</translation>
    </message>
    <message>
        <source>THIS_TESSARINE_IS_PASS_PROTECTED_TEXT</source>
        <translation>This Tessarine is password protected.</translation>
    </message>
    <message>
        <source>OPEN_TEXT</source>
        <extracomment>Open</extracomment>
        <translation>Open</translation>
    </message>
    <message>
        <source>SET_VIDEO_COMPRESSION_TEXT</source>
        <extracomment>Set video compression</extracomment>
        <translation>Set video compression</translation>
    </message>
    <message>
        <source>SMALL_480P_TEXT</source>
        <extracomment>Small (480p)</extracomment>
        <translation>Small (480p)</translation>
    </message>
    <message>
        <source>MEDIUM_720P_TEXT</source>
        <extracomment>Medium (720p)</extracomment>
        <translation>Medium (720p)</translation>
    </message>
    <message>
        <source>LARGE_1080P_TEXT</source>
        <extracomment>Large (1080p)</extracomment>
        <translation>Large (1080p)</translation>
    </message>
    <message>
        <source>COMPRESSION_COMPLETE_TEXT</source>
        <extracomment>Compression complete!</extracomment>
        <translation>Compression complete!</translation>
    </message>
    <message>
        <source>QUIT_COMPRESSION_WARNING_TEXT</source>
        <translation>A video is still being compressed. If you quit now, compression will stop and resume the next time you open the Tessarine.</translation>
    </message>
    <message>
        <source>CLOSE_COMPRESSION_WARNING_TEXT</source>
        <translation>A video is still being compressed. If you close this window now, compression will stop and resume the next time you open the Tessarine.</translation>
    </message>
    <message>
        <source>SIGNOUT_COMPRESSION_WARNING_TEXT</source>
        <translation>A video is still being compressed. If you sign out now, the compression will be cancelled.</translation>
    </message>
    <message>
        <source>QUIT_TEXT</source>
        <extracomment>Quit</extracomment>
        <translation>Quit</translation>
    </message>
    <message>
        <source>UNABLE_TO_LOAD_CATALOG_TEXT</source>
        <extracomment>Unable to load the catalog</extracomment>
        <translation>Unable to load the catalog.</translation>
    </message>
    <message>
        <source>UNABLE_TO_LOAD_LIBRARY_TEXT</source>
        <extracomment>Unable to load the library</extracomment>
        <translation>Unable to load the library.</translation>
    </message>
    <message>
        <source>CHECK_YOUR_CONNECTION_TEXT</source>
        <extracomment>Please check your internet connection</extracomment>
        <translation>Please check your internet connection.</translation>
    </message>
    <message>
        <source>RELOAD_NOW_TEXT</source>
        <extracomment>Reload Now</extracomment>
        <translation>Reload Now</translation>
    </message>
    <message>
        <source>TESSARINE_COPIED_TEXT</source>
        <extracomment>Tessarine Copied</extracomment>
        <translation>Tessarine Copied</translation>
    </message>
    <message>
        <source>TESSARINE_COPIED_CAN_BE_FOUND_IN_MY_TESSARINES</source>
        <extracomment>The copy can be found in My Tessarines</extracomment>
        <translation>The copy can be found in My Tessarines.</translation>
    </message>
    <message>
        <source>SAYS_GET_STARTED</source>
        <translation>Get Started</translation>
    </message>
    <message>
        <source>SAYS_SIGN_UP</source>
        <translation>Sign Up</translation>
    </message>
    <message>
        <source>QUOTA_UNAVAILABLE</source>
        <extracomment>Quota unavailable</extracomment>
        <translation>Quota unavailable</translation>
    </message>
    <message>
        <source>SIGNUP_FREE</source>
        <translation>Sign Up Free</translation>
    </message>
    <message>
        <source>DELETE_SCREEN</source>
        <translation>Delete Screen</translation>
    </message>
    <message>
        <source>DUPLICATE_SCREEN</source>
        <translation>Duplicate Screen</translation>
    </message>
    <message>
        <source>INCLUDE_GALLERY_IMAGES_TEXT</source>
        <extracomment>Include gallery images</extracomment>
        <translation>Include gallery images</translation>
    </message>
    <message>
        <source>PASSWORD_FIELDS_DONT_MATCH_TEXT</source>
        <extracomment>The passwords don’t match</extracomment>
        <translation>The passwords don’t match.</translation>
    </message>
    <message>
        <source>VIDEO_COMPRESSION_ERROR_TEXT</source>
        <extracomment>There was an error compressing the video %@. The video file may be corrupt.</extracomment>
        <translation>There was an error compressing the video %1. The video file may be corrupt.</translation>
    </message>
    <message>
        <source>ABOUT_TESSARINE_TEXT</source>
        <extracomment>About Tessarine</extracomment>
        <translation>About Tessarine</translation>
    </message>
    <message>
        <source>PREFERENCES_TEXT</source>
        <extracomment>Preferences</extracomment>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>SERVICES_TEXT</source>
        <extracomment>Services</extracomment>
        <translation>Services</translation>
    </message>
    <message>
        <source>HIDE_TESSARINE_TEXT</source>
        <extracomment>Hide Tessarine</extracomment>
        <translation>Hide Tessarine</translation>
    </message>
    <message>
        <source>HIDE_OTHERS_TEXT</source>
        <extracomment>Hide Others</extracomment>
        <translation>Hide Others</translation>
    </message>
    <message>
        <source>SHOW_ALL_TEXT</source>
        <extracomment>Show All</extracomment>
        <translation>Show All</translation>
    </message>
    <message>
        <source>QUIT_TESSARINE_TEXT</source>
        <extracomment>Quit Tessarine</extracomment>
        <translation>Quit Tessarine</translation>
    </message>
    <message>
        <source>NEW_TEXT</source>
        <extracomment>New</extracomment>
        <translation>New</translation>
    </message>
    <message>
        <source>SELECT_ALL_TEXT</source>
        <extracomment>Select All</extracomment>
        <translation>Select All</translation>
    </message>
    <message>
        <source>ZOOM_TEXT</source>
        <extracomment>Zoom</extracomment>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>MINIMIZE_TEXT</source>
        <extracomment>Minimize</extracomment>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>BRING_ALL_TO_FRONT_TEXT</source>
        <extracomment>Bring All to Front</extracomment>
        <translation>Bring All to Front</translation>
    </message>
    <message>
        <source>FILE_TEXT</source>
        <extracomment>File</extracomment>
        <translation>File</translation>
    </message>
    <message>
        <source>WINDOW_TEXT</source>
        <extracomment>Window</extracomment>
        <translation>Window</translation>
    </message>
    <message>
        <source>HELP_TEXT</source>
        <extracomment>Help</extracomment>
        <translation>Help</translation>
    </message>
    <message>
        <source>OUTLET_TITLE_COLOR</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>OUTLET_TITLE_ALPHA</source>
        <translation>Opacity</translation>
    </message>
    <message>
        <source>TEMPLATE_CHOOSER_TEXT</source>
        <translation>Templates</translation>
    </message>
    <message>
        <source>END_TEXT</source>
        <translation>End</translation>
    </message>
    <message>
        <source>CURRENT_TEXT</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>TIME_TEXT</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_MESSAGE</source>
        <translation>The presentation could not be imported.</translation>
    </message>
    <message>
        <source>PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_INFORMATION</source>
        <translation>Its format was not recognized. Please choose a PowerPoint (.pptx) file.</translation>
    </message>
    <message>
        <source>PPT_IMPORT_ERROR_DAMAGED_INFORMATION</source>
        <translation>The file is damaged or could not be read.</translation>
    </message>
    <message>
        <source>TOTAL_TIME_TEXT</source>
        <translation>Total Time</translation>
    </message>
    <message>
        <source>TIME_ON_SCREEN_TEXT</source>
        <translation>Time on Screen</translation>
    </message>
    <message>
        <source>ERROR_PASTING_TEXT</source>
        <translation>Error Pasting</translation>
    </message>
    <message>
        <source>INVALID_PASTED_DATA_TEXT</source>
        <translation>The pasted content could not be used.</translation>
    </message>
    <message>
        <source>TESSARINE_WITH_STRINGID_NOT_FOUND</source>
        <translation>The Tessarine with the ID %1 could not be found.</translation>
    </message>
    <message>
        <source>PRESENTER_NOTES_TEXT</source>
        <translation>Presenter Notes</translation>
    </message>
    <message>
        <source>PAUSE_TEXT</source>
        <extracomment>Pause</extracomment>
        <translation>Pause</translation>
    </message>
    <message>
        <source>AUTOPLAY_TEXT</source>
        <extracomment>Autoplay</extracomment>
        <translation>Autoplay</translation>
    </message>
    <message>
        <source>DISPLAY_PRESENTER_NOTES</source>
        <extracomment>Show Presenter Notes</extracomment>
        <translation>Show Presenter Notes</translation>
    </message>
    <message>
        <source>EXPAND_TO_FULLSCREEN</source>
        <extracomment>Full Screen</extracomment>
        <translation>Full Screen</translation>
    </message>
    <message>
        <source>ERROR_SENDING_MAIL</source>
        <extracomment>There was an error sending the email</extracomment>
        <translation>There was an error sending the email.</translation>
    </message>
    <message>
        <source>RECIPIENT_OR_SENDER_MISSING</source>
        <extracomment>Please enter both a recipient and a sender</extracomment>
        <translation>Please enter both a recipient and a sender.</translation>
    </message>
    <message>
        <source>EMAIL_SENT_TEXT</source>
        <extracomment>Email sent</extracomment>
        <translation>Email sent.</translation>
    </message>
    <message>
        <source>TRACKABLE_EMAIL_EXPLANATION</source>
        <extracomment>You will be told when your recipients open the links in this email</extracomment>
        <translation>You will be told when your recipients open the links in this email.</translation>
    </message>
    <message>
        <source>UNPOST_TEXT</source>
        <extracomment>Unpost</extracomment>
        <translation>Unpost</translation>
    </message>
    <message>
        <source>UNPOST_SUCCESS_TEXT</source>
        <extracomment>Your Tessarine is no longer posted</extracomment>
        <translation>Your Tessarine is no longer posted.</translation>
    </message>
    <message>
        <source>WILL_UNPOST_IS_USER_SURE</source>
        <extracomment>This will take your Tessarine off the web. Are you sure</extracomment>
        <translation>This will take your Tessarine off the web. Are you sure?</translation>
    </message>
    <message>
        <source>REPOST_GIVES_BACK_SAME_SHARE_URL</source>
        <extracomment>If you post it again, it will get the same share link</extracomment>
        <translation>If you post it again, it will get the same share link.</translation>
    </message>
    <message>
        <source>POST_TO_GET_URL</source>
        <extracomment>Post to get a link</extracomment>
        <translation>Post to get a link</translation>
    </message>
    <message>
        <source>EDIT_GALLERY_BUTTON_TOOL_TIP</source>
        <extracomment>EDIT_GALLERY_BUTTON_TOOL_TIP</extracomment>
        <translation>Edit the images of this gallery</translation>
    </message>
    <message>
        <source>PLEASE_TRY_OPENING_THE_TESSARINE_AGAIN</source>
        <extracomment>PLEASE_TRY_OPENING_THE_TESSARINE_AGAIN</extracomment>
        <translation>Please try opening the Tessarine again.</translation>
    </message>
    <message>
        <source>YOU_NEED_A_FREE_ACCOUNT</source>
        <extracomment>YOU_NEED_A_FREE_ACCOUNT</extracomment>
        <translation>You need a free account to do that.</translation>
    </message>
    <message>
        <source>WOULD_YOU_LIKE_TO_MAKE_ACCOUNT</source>
        <extracomment>WOULD_YOU_LIKE_TO_MAKE_ACCOUNT</extracomment>
        <translation>Would you like to create one now?</translation>
    </message>
    <message>
        <source>EDIT_TEXT</source>
        <extracomment>Menu title: Edit</extracomment>
        <translation>Edit</translation>
    </message>
    <message>
        <source>UNDO_TEXT</source>
        <extracomment>Menu title: Undo</extracomment>
        <translation>Undo</translation>
    </message>
    <message>
        <source>REDO_TEXT</source>
        <extracomment>Menu title: Redo</extracomment>
        <translation>Redo</translation>
    </message>
    <message>
        <source>REFRESH_TEXT</source>
        <extracomment>Menu title: Refresh</extracomment>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>IMPORT_POWERPOINT_TEXT</source>
        <extracomment>Menu title: Import PowerPoint</extracomment>
        <translation>Import PowerPoint</translation>
    </message>
    <message>
        <source>CHANGE_BACKGROUND_COLOR_TEXT</source>
        <extracomment>Menu title: Change Background Color</extracomment>
        <translation>Change Background Color</translation>
    </message>
    <message>
        <source>SCREEN_PROPERTIES_TEXT</source>
        <extracomment>Menu title: Screen Properties</extracomment>
        <translation>Screen Properties</translation>
    </message>
    <message>
        <source>SCREEN_AUTO_ADVANCE_TEXT</source>
        <extracomment>Menu title: Screen Auto-Advance</extracomment>
        <translation>Screen Auto-Advance</translation>
    </message>
    <message>
        <source>FLOW_AUTO_ADVANCE_TEXT</source>
        <extracomment>Menu title: Flow Auto-Advance</extracomment>
        <translation>Flow Auto-Advance</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_TEXT</source>
        <extracomment>alert title when some dropped, pasted or chosen files could not be added</extracomment>
        <translation>Some content could not be added</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_UNSUPPORTED_KIND</source>
        <extracomment>reason after a file name: not a picture, movie, PDF or sound</extracomment>
        <translation>not a picture, movie, PDF or sound</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_EMPTY</source>
        <extracomment>reason after a file name: the file holds nothing</extracomment>
        <translation>the file is empty</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_TOO_LARGE</source>
        <extracomment>reason after a file name: %1 = the upload limit, such as 2 MB</extracomment>
        <translation>larger than the upload limit of %1</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_UNREADABLE</source>
        <extracomment>reason after a file name: unreadable or damaged</extracomment>
        <translation>the file cannot be read or is damaged</translation>
    </message>
    <message>
        <source>ERROR_OPENING_TESSARINE</source>
        <extracomment>alert when a document of My Documents cannot be opened: its draft cannot be read and no copy could be downloaded</extracomment>
        <translation>There was an error opening this Tessarine.</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_PICTURE_TOO_LARGE</source>
        <extracomment>reason after a file name: a picture with too many pixels; %1 = the largest number of megapixels taken</extracomment>
        <translation>the picture is too large (more than %1 megapixels)</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_NOT_A_FILE</source>
        <extracomment>reason after a name: a folder or a web address, not a file on this computer</extracomment>
        <translation>not a file on this computer</translation>
    </message>
    <message>
        <source>NO_MAIL_PROGRAM_TEXT</source>
        <extracomment>the share window's Email when the desktop has no mail program to write the e-mail</extracomment>
        <translation>No mail program is set up on this computer to write the e-mail. Copy the address above into a message instead.</translation>
    </message>
    <message>
        <source>PDF_EXPORT_FAILED_TEXT</source>
        <extracomment>alert after a failed Export PDF: %1 = the name of the file that could not be written</extracomment>
        <translation>The PDF could not be saved as “%1”.</translation>
    </message>
    <message>
        <source>OUTPUT_LACKS_PICTURES_TEXT</source>
        <extracomment>alert before Print or Export PDF when some pictures could not be fetched</extracomment>
        <translation>Some pictures could not be fetched</translation>
    </message>
    <message>
        <source>OUTPUT_SCREENS_LACK_PICTURES_TEXT</source>
        <extracomment>explanation under it: %1 = the numbers of the screens that lack pictures, separated by commas</extracomment>
        <translation>These screens will be without some of their pictures: %1. Check the connection and try again to have them all.</translation>
    </message>
    <message>
        <source>PRINT_ANYWAY_TEXT</source>
        <extracomment>button: print although some pictures are missing</extracomment>
        <translation>Print Anyway</translation>
    </message>
    <message>
        <source>EXPORT_ANYWAY_TEXT</source>
        <extracomment>button: export the PDF although some pictures are missing</extracomment>
        <translation>Export Anyway</translation>
    </message>
    <message>
        <source>CONTENT_NOT_ADDED_NO_PICTURE</source>
        <extracomment>reason after a file name: a movie file that holds sound only, added as a video</extracomment>
        <translation>the file holds sound only, no picture</translation>
    </message>
    <message>
        <source>SHORT_LINK_TEXT</source>
        <extracomment>label of the publish sheet's field for the document's own short link</extracomment>
        <translation>Short Link</translation>
    </message>
</context>
</TS>
